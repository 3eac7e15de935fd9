#include "mainwindow.h"

#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QJsonValue>
#include <QLocale>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

#include <cmath>

#include "apptiming.h"

namespace
{

constexpr int devicePollMs = 1000;
constexpr int informationPollMs = 1000;
const QString noValue = QStringLiteral("---");

} // namespace

MainWindow::MainWindow(QObject *parent)
    : QObject(parent),
      label{noValue, noValue, noValue, tr("Please connect the device."), tr("Start updating"), noValue,
            noValue, noValue, noValue}
{
    if (findLocalFirmware())
        checkFirmwareFile(firmwarePath);
    startDeviceThread();
    connect(&deviceTimer, &QTimer::timeout, this, &MainWindow::on_timer_device);
    deviceTimer.start(AppTiming::scaled(devicePollMs));

    updateInformation.reset(new UpdateInformation());
    UpdateInformation *fetcher = updateInformation.get();
    connect(fetcher, &UpdateInformation::finishedInformation, this, &MainWindow::getJSON);
    connect(fetcher, &UpdateInformation::readiedExec, this, &MainWindow::downloadFinish);
    connect(fetcher, &UpdateInformation::progressValueChanged, this, &MainWindow::setProgress);
    connect(this, &MainWindow::downloadStart, fetcher, &UpdateInformation::downloadFile);
    connect(fetcher, &UpdateInformation::errorDownloadFile, this, &MainWindow::downloadFailed);
    connect(&jsonTimer, &QTimer::timeout, this, &MainWindow::on_timer_json);
    jsonTimer.start(AppTiming::scaled(informationPollMs));
}

MainWindow::~MainWindow()
{
    waitForUpdateThread();
    stopDeviceThread();
    releaseImage();
    qDebug("APP CLOSE");
}

QString MainWindow::versionText(quint32 version)
{
    return QStringLiteral("%1.%2").arg(version / 100).arg(version % 100, 2, 10, QLatin1Char('0'));
}

QString MainWindow::versionBuildText(quint32 version, quint32 build)
{
    return QStringLiteral("Ver. %1 Build %2").arg(versionText(version)).arg(build);
}

void MainWindow::setWebEnable(bool enable)
{
    web = enable;
    emit changeWebEnable();
}

void MainWindow::setUpdateEnable(bool enable)
{
    update = enable;
    emit changeUpdateEnable();
}

void MainWindow::setUpdatingStatus(bool status)
{
    updating = status;
    emit changeUpdatingStatus();
}

void MainWindow::setDownloadedStatus(bool status)
{
    downloaded = status;
    emit changeDownloadedStatus();
}

void MainWindow::setLabel(int index, const QString &text)
{
    if (index < 0 || index >= label.size() || label.at(index) == text)
        return;
    label[index] = text;
    emit changeLabel();
}

void MainWindow::setProgress(int percent)
{
    if (static_cast<unsigned>(percent) > 100 || percent == progress)
        return;
    progress = percent;
    emit changeProgress();
}

void MainWindow::openLicensePage()
{
    QFile file(QStringLiteral(":/res/LICENSE.txt"));
    if (!file.open(QIODevice::ReadOnly)) {
        showError(tr("Please reinstall the app."));
        qDebug() << QDir::current();
        qDebug() << QDir::home();
        qDebug() << QDir::root();
        return;
    }
    QTextStream in(&file);
    in.setCodec("UTF-8");
    QString text = in.readAll();
    text.remove(QChar(0x0C));
    setLabel(Qt_Enum::LABEL_LICENSE, text);
    setLicenseEnable(true);
}

void MainWindow::setLicenseEnable(bool enable)
{
    license = enable;
    emit changeLicenseEnable();
}

void MainWindow::setError(bool enable)
{
    error = enable;
    emit changeError();
}

void MainWindow::setCheck(bool enable)
{
    check = enable;
    emit changeCheck();
}

void MainWindow::goLink(int type)
{
    if (!web)
        return;
    QString key;
    switch (type) {
    case Qt_Enum::LINK_PRODUCT_HP:
        key = QStringLiteral("product_url_");
        break;
    case Qt_Enum::LINK_RELEASE_NOTE:
        key = QStringLiteral("releasenote_url_");
        break;
    default:
        return;
    }
    key += QLocale().language() == QLocale::Japanese ? QStringLiteral("ja") : QStringLiteral("en");
    /* The server names these; nothing but a web page is opened for it. */
    const QUrl url(jsonObject.value(key).toString(), QUrl::TolerantMode);
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"))
        QDesktopServices::openUrl(url);
}

QString MainWindow::firmwareFolder()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::TempLocation);
    return (locations.isEmpty() ? QString() : locations.first()) + QStringLiteral("/fwupdate");
}

qint32 MainWindow::informationNumber(const QString &key) const
{
    const QJsonValue value = jsonObject.value(key);
    if (!value.isDouble())
        return 0;
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < -2147483648.0 || number > 2147483647.0)
        return 0;
    return static_cast<qint32>(number);
}

void MainWindow::releaseImage()
{
    delete[] updateJob.data;
    updateJob.data = nullptr;
    updateJob.size = 0;
}

void MainWindow::showError(const QString &text)
{
    setLabel(Qt_Enum::LABEL_ERROR, text);
    setError(true);
}
