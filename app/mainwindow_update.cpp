/* The update sequence: confirmations, the firmware file, the start checks,
 * the worker, and the final message. */
#include "mainwindow.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>

#include <limits>
#include <new>
#include <string>

#include "apptiming.h"
#include "fwupdateworker.h"
#include "ownedpath.h"
#include "vzmsg_check.h"
#include "vzmsg_ctl.h"

namespace
{

constexpr int progressRefreshMs = 100;

/* The image's header counts its size in 32 bits: anything larger is no
 * image, and is not read into memory to find that out. */
constexpr qint64 largestImage = std::numeric_limits<quint32>::max();

QString wrongFirmwareText()
{
    return MainWindow::tr("This firmware cannot be used to update this device.") + QLatin1Char('\n') +
           MainWindow::tr("Please use the correct file.");
}

QString deviceRecognitionText()
{
    return MainWindow::tr("Device recognition failed.") + QLatin1Char('\n') +
           MainWindow::tr("Restart the device's power once and try again.");
}

QString batteryText()
{
    return MainWindow::tr("Install batteries that have enough remaining charge.");
}

/* What the user reads once the worker has finished; empty for success. */
QString finalMessage(quint32 status)
{
    switch (status) {
    case VZMSG_DATA_FWUP_STATUS_COMPLETE:
        return QString();
    case VZMSG_DATA_FWUP_STATUS_ERR_MASSSTORAGE:
        return MainWindow::tr("Stop operation as an SD card reader.");
    case VZMSG_DATA_FWUP_STATUS_ERR_REC_PLAY:
        return MainWindow::tr("Stop recording and playback.");
    case VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY:
        return batteryText();
    case VZMSG_DATA_FWUP_STATUS_ERR_VERSION:
        return MainWindow::tr("Updating to an older firmware version is not possible.");
    case VZMSG_DATA_FWUP_STATUS_ERR_PRODUCT:
    case VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK:
        return wrongFirmwareText();
    case VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE:
        return deviceRecognitionText();
    default:
        return MainWindow::tr("An error occurred while updating.") + QLatin1Char('\n') +
               MainWindow::tr("Restart the device's power once and try again.");
    }
}

} // namespace

void MainWindow::startUpdate(int mode)
{
    if (mode < Qt_Enum::UPDATE_CHECK || mode > Qt_Enum::UPDATE_START)
        return;
    switch (updateState) {
    case 0:
        checkStep();
        break;
    case 2:
        updateState = 3;
        runStartChecks();
        break;
    case 3:
        runStartChecks();
        break;
    default:
        break;
    }
}

QString MainWindow::downgradeMessage() const
{
    return tr("Updating to an older firmware version") + QStringLiteral("\n(V") + versionText(hwVersion) +
           tr(" to ") + QLatin1Char('V') + versionText(fwVersion) + QLatin1Char(')') + tr("is not possible.");
}

void MainWindow::checkStep()
{
    if (vzmsg_check_version(hwVersion, fwVersion)) {
        showError(downgradeMessage());
        updateState = 0;
        return;
    }
    setLabel(Qt_Enum::LABEL_POPUP, tr("Update the firmware from ") + QLatin1Char('V') +
                                       versionText(hwVersion) + tr(" to ") + QLatin1Char('V') +
                                       versionText(fwVersion) + tr("?"));
    setPopupEnable(true);
}

void MainWindow::setPopupEnable(bool enable)
{
    if (!popup) {
        popup = true;
        emit changePopupEnable();
        return;
    }
    if (!enable) {
        updateState = 0;
    } else if (updateState == 0) {
        updateState = 3;
        setLabel(Qt_Enum::LABEL_POPUP, tr("Updating will start.") + QLatin1Char('\n') +
                                           tr("Do not turn off the unit's power") + QLatin1Char('\n') +
                                           tr("during the update."));
        emit changePopupEnable();
        return;
    } else if (updateState == 3) {
        confirmUpdate();
    }
    popup = false;
    emit changePopupEnable();
}

/* The second Yes: the update proceeds with the chosen file, or with the
 * announced firmware once it has been downloaded. */
void MainWindow::confirmUpdate()
{
    setUpdateEnable(false);
    setUpdatingStatus(true);
    if (web && firmwarePath.isEmpty()) {
        getFirmware(); // the sequence goes on in downloadFinish
    } else if (checkFirmwareFile(firmwarePath)) {
        updateState = 2;
        startUpdate(Qt_Enum::UPDATE_START);
    } else {
        /* Nothing can be installed: back to idle so that the button and
         * the recorder poll return; an error the check raised stays. */
        updateState = 0;
        setUpdatingStatus(false);
    }
}

void MainWindow::refuseStart(const char *debugLine, const QString &text)
{
    if (debugLine)
        qDebug("%s", debugLine);
    showError(text);
    updateState = 0;
    setUpdateEnable(false);
    setUpdatingStatus(false);
    setDownloadedStatus(false);
}

bool MainWindow::checkImage(std::string &product)
{
    vz.fw_set_header(updateJob.data);
    if (!vz.fw_check(updateJob.data, static_cast<quint32>(updateJob.size))) {
        refuseStart(nullptr, wrongFirmwareText());
        fwVersion = 0;
        setLabel(Qt_Enum::LABEL_ROM_VERSION, QStringLiteral("---"));
        return false;
    }
    if (!vz.fw_get_product(product)) {
        refuseStart(nullptr, deviceRecognitionText());
        return false;
    }
    fwVersion = vz.fw_get_version();
    fwBuild = vz.fw_get_build();
    return true;
}

/* The image is checked here; the recorder is asked on the device thread,
 * and the sequence goes on in on_device_check. */
void MainWindow::runStartChecks()
{
    if (checkInFlight)
        return;
    std::string imageProduct;
    if (!checkImage(imageProduct))
        return;
    checkInFlight = true;
    QMetaObject::invokeMethod(deviceAccess.get(), &DeviceAccess::checkRecorder, Qt::QueuedConnection);
}

/* A poll asked for before the sequence began has been answered before this
 * (the device thread answers in order), so no query is in flight now and the
 * worker may have the recorder. */
void MainWindow::on_device_check(RecorderCheck check)
{
    checkInFlight = false;
    if (check.failure) {
        refuseStart(check.failure, check.noBattery ? batteryText() : deviceRecognitionText());
        return;
    }
    hwVersion = check.version;
    hwBuild = check.build;
    std::string imageProduct;
    vz.fw_get_product(imageProduct);
    quint32 checksum = 0;
    if (vzmsg_check_products(check.product.c_str(), imageProduct.c_str()))
        refuseStart("error: hw_product != fw_product", wrongFirmwareText());
    else if (vzmsg_check_version(hwVersion, fwVersion))
        refuseStart("error: hw_ver > fw_ver", downgradeMessage());
    else if (!vz.fw_get_checksum(vz.fw_get_data_size(), &checksum))
        refuseStart("error: !vz.fw_get_checksum", deviceRecognitionText());
    else
        startWorker();
}

bool MainWindow::imageInUse() const
{
    return updateState == 4 || checkInFlight;
}

void MainWindow::startWorker()
{
    updateJob.device = &vz;
    updateProgress.job = &updateJob;
    updateProgress.total.store(static_cast<quint32>(updateJob.size), std::memory_order_relaxed);
    updateProgress.status.store(0, std::memory_order_relaxed);
    updateProgress.done.store(0, std::memory_order_relaxed);
    qDebug("GO UPDATE!!!!!!!");
    updateState = 4;
    setUpdateEnable(false);
    setUpdatingStatus(true);
    setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Updating..."));

    auto *thread = new QThread;
    auto *worker = new FWUpdateWorker;
    worker->progress = &updateProgress;
    connect(&progressTimer, &QTimer::timeout, this, &MainWindow::on_timer_update, Qt::UniqueConnection);
    connect(worker, &FWUpdateWorker::completed, this, &MainWindow::on_complete);
    connect(worker, &FWUpdateWorker::finished, this, &MainWindow::on_finish);
    progressTimer.start(AppTiming::scaled(progressRefreshMs));
    worker->moveToThread(thread);
    connect(worker, &FWUpdateWorker::process_text, this, &MainWindow::on_processtext);
    connect(worker, &FWUpdateWorker::error, this, &MainWindow::on_error);
    connect(thread, &QThread::started, worker, &FWUpdateWorker::process);
    /* Direct, so that the thread also ends while the GUI thread waits for
     * it in the destructor. */
    connect(worker, &FWUpdateWorker::finished, thread, &QThread::quit, Qt::DirectConnection);
    connect(worker, &FWUpdateWorker::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    updateThread = thread;
    sleepInhibitor.hold();
    thread->start(QThread::InheritPriority);
}

void MainWindow::waitForUpdateThread()
{
    if (updateThread)
        updateThread->wait();
}

void MainWindow::on_processtext(QString text)
{
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, text);
}

void MainWindow::on_error(QString error)
{
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, error);
}

void MainWindow::on_complete()
{
    setLabel(Qt_Enum::LABEL_CHECK, tr("Update complete"));
    setCheck(true);
}

void MainWindow::on_finish()
{
    sleepInhibitor.release();
    progressTimer.stop();
    const quint32 status = updateProgress.status.load(std::memory_order_relaxed);
    const QString message = finalMessage(status);
    qDebug("on_finish");
    qDebug("%s", vzmsg_ctl_status_name(status));
    if (!message.isEmpty())
        showError(message);
    update = false;
    updateState = 0;
    emit changeUpdateEnable();
    setUpdatingStatus(false);
    setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Start updating"));
}

void MainWindow::selectFirmware(QString path)
{
    /* The dialog hands over a file URL, with '#' and '%' encoded. */
    path = QUrl(path).toLocalFile();
    if (path.isEmpty())
        return;
    firmwarePath = path;
    if (!checkFirmwareFile(firmwarePath))
        return;
    if (!vzmsg_check_version(hwVersion, fwVersion)) {
        startUpdate(Qt_Enum::UPDATE_CONFIRM);
        return;
    }
    showError(downgradeMessage());
    updateState = 0;
    setDownloadedStatus(false);
    setLabel(Qt_Enum::LABEL_ROM_VERSION, QStringLiteral("---"));
}

bool MainWindow::checkFirmwareFile(const QString &path)
{
    /* The update sends the image in memory; it must stay as it is. */
    if (imageInUse())
        return false;
    setDownloadedStatus(false);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    releaseImage();
    const qint64 fileSize = file.size();
    if (fileSize > largestImage) {
        qDebug("file too large");
        showError(wrongFirmwareText());
        return false;
    }
    updateJob.data = new (std::nothrow) quint8[static_cast<size_t>(fileSize)];
    if (!updateJob.data)
        return false;
    /* Size and block stay paired even when the read falls short, so that
     * nothing ever reads past the block. */
    updateJob.size = fileSize;
    if (file.read(reinterpret_cast<char *>(updateJob.data), fileSize) < fileSize)
        return false;
    if (static_cast<qint64>(vz.fw_set_header(nullptr)) > updateJob.size)
        return false;
    vz.fw_set_header(updateJob.data);
    if (!vz.fw_check(updateJob.data, static_cast<quint32>(updateJob.size))) {
        qDebug("file checksum error");
        showError(wrongFirmwareText());
        return false;
    }
    std::string product;
    if (!vz.fw_get_product(product)) {
        qDebug("Cannot get product name");
        showError(wrongFirmwareText());
        return false;
    }
    fwVersion = vz.fw_get_version();
    fwBuild = vz.fw_get_build();
    setLabel(Qt_Enum::LABEL_ROM_VERSION, versionBuildText(fwVersion, fwBuild));
    setDownloadedStatus(true);
    return true;
}

bool MainWindow::findLocalFirmware()
{
    const QDir folder(firmwareFolder());
    if (!folder.exists())
        return false;
    if (!folderIsOurs(folder.path())) {
        qDebug() << "local firmware refused" << folder.path();
        return false;
    }
    QFileInfoList files;
    for (const QFileInfo &file : folder.entryInfoList(QDir::Files, QDir::Unsorted)) {
        if (fileIsOurs(file.absoluteFilePath()))
            files << file;
        else
            qDebug() << "local firmware refused" << file.absoluteFilePath();
    }
    if (files.isEmpty())
        return false;
    int chosen = 0;
    int largest = 0;
    for (int i = 0; i < files.size(); ++i) {
        const int number = files.at(i).absoluteFilePath().right(3).toInt();
        if (i == 0 || number > largest) {
            chosen = i;
            largest = number;
        }
    }
    firmwarePath = files.at(chosen).absoluteFilePath();
    qDebug() << firmwarePath;
    return true;
}
