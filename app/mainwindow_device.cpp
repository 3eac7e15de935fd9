/* The recorder poll, the progress refresh and forgetting what was known. */
#include "mainwindow.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include "vzmsg_ctl.h"

namespace
{

/* The last percentage written to the log, shared by every controller of
 * the process so that a restarted sequence does not repeat lines. */
int lastLoggedPercent = 0;

/* Each update phase fills one sixth of the bar from its own base. */
bool phaseBase(quint32 status, int *base)
{
    switch (status) {
    case VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY:
        *base = 16;
        return true;
    case VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE:
        *base = 33;
        return true;
    case VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK:
        *base = 50;
        return true;
    case VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE:
        *base = 66;
        return true;
    case VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE:
        *base = 83;
        return true;
    default:
        return false;
    }
}

} // namespace

void MainWindow::startDeviceThread()
{
    deviceAccess.reset(new DeviceAccess(vz));
    deviceAccess->moveToThread(&deviceThread);
    connect(deviceAccess.get(), &DeviceAccess::polled, this, &MainWindow::on_device_poll);
    connect(deviceAccess.get(), &DeviceAccess::checked, this, &MainWindow::on_device_check);
    deviceThread.setObjectName(QStringLiteral("recorder"));
    deviceThread.start();
}

/* A query under way ends first (at most the recorder's ten retries); its
 * result is then dropped with this object. */
void MainWindow::stopDeviceThread()
{
    deviceThread.quit();
    deviceThread.wait();
    deviceAccess.reset();
}

void MainWindow::on_timer_device()
{
    if (updateState != 0 || pollInFlight || checkInFlight)
        return;
    pollInFlight = true;
    QMetaObject::invokeMethod(deviceAccess.get(), &DeviceAccess::poll, Qt::QueuedConnection);
}

void MainWindow::on_device_poll(RecorderPoll poll)
{
    pollInFlight = false;
    /* The update sequence began while the recorder was asked: what the poll
     * would show belongs to the idle window. */
    if (updateState != 0)
        return;
    if (poll.outcome == RecorderPoll::Lost) {
        setLabel(Qt_Enum::LABEL_DEVICE_SERIALNO, QStringLiteral("---"));
        setLabel(Qt_Enum::LABEL_DEVICE_VERSION, QStringLiteral("---"));
        setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Please connect the device."));
        if (progress != 0) {
            progress = 0;
            emit changeProgress();
        }
        setUpdateEnable(false);
        return;
    }
    if (poll.outcome != RecorderPoll::Answered)
        return;
    hwVersion = poll.version;
    hwBuild = poll.build;

    const quint32 recorderVersion = hwVersion;
    const quint32 recorderBuild = hwBuild;
    QString status;
    bool offer = false;
    if (poll.battery == 0) {
        status = tr("Install batteries that have enough remaining charge.");
    } else if (recorderVersion == fwVersion && recorderBuild == fwBuild) {
        status = tr("This is the latest firmware.");
    } else if (recorderVersion <= fwVersion) {
        status = tr("The latest firmware is available for update.");
        offer = true;
    } else {
        status = tr("Please connect to the Internet.");
    }
    setUpdateEnable(offer);
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, status);
    setLabel(Qt_Enum::LABEL_DEVICE_VERSION, versionBuildText(hwVersion, hwBuild));
    setLabel(Qt_Enum::LABEL_DEVICE_SERIALNO, poll.serial);
}

void MainWindow::on_timer_update()
{
    int base = 0;
    if (!phaseBase(updateProgress.status.load(std::memory_order_relaxed), &base))
        return;
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Updating..."));
    const qint32 total = static_cast<qint32>(updateProgress.total.load(std::memory_order_relaxed));
    if (total <= 0)
        return;
    const qint32 done = static_cast<qint32>(updateProgress.done.load(std::memory_order_relaxed));
    const int percent =
        static_cast<int>(static_cast<float>(done) / 6.0f / static_cast<float>(total) * 100.0f) + base;
    setProgress(percent);
    if (percent != lastLoggedPercent) {
        lastLoggedPercent = percent;
        qDebug("%d%%", percent);
    }
}

void MainWindow::initialize()
{
    /* The worker still sends the image in memory, or is about to; forgetting
     * it now would pull the data from under the update. */
    if (imageInUse())
        return;
    const QDir folder(firmwareFolder());
    if (folder.exists()) {
        for (const QString &name : folder.entryList(QDir::Files))
            QFile::remove(folder.filePath(name));
    }
    releaseImage();
    firmwarePath.clear();
    fwVersion = 0;
    fwBuild = 0;
    hwVersion = 0;
    setLabel(Qt_Enum::LABEL_DEVICE_SERIALNO, QStringLiteral("---"));
    setLabel(Qt_Enum::LABEL_DEVICE_VERSION, QStringLiteral("---"));
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Please connect the device."));
    if (web) {
        fwVersion = static_cast<quint32>(informationNumber(QStringLiteral("firmware_version")));
        fwBuild = static_cast<quint32>(informationNumber(QStringLiteral("firmware_build")));
        setLabel(Qt_Enum::LABEL_ROM_VERSION, versionBuildText(fwVersion, fwBuild));
    } else {
        setLabel(Qt_Enum::LABEL_ROM_VERSION, QStringLiteral("---"));
    }
    setUpdateEnable(false);
    setUpdatingStatus(false);
    setDownloadedStatus(false);
}
