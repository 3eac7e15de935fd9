/* The controller's web side: asking for the update information, taking in
 * its answer, and handing a downloaded firmware file to the update flow. */
#include "mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QJsonValue>

namespace
{

const QString productEntry = QStringLiteral("VeldracorderQ7_version1");

} // namespace

void MainWindow::on_timer_json()
{
    if (updateState == 0)
        updateInformation->downloadInformation();
}

void MainWindow::getJSON(QString json)
{
    if (json == QLatin1String("ERROR"))
        return;
    qDebug("json ok");
    jsonTimer.stop();
    jsonDocument = QJsonDocument::fromJson(json.toUtf8());
    jsonObject = jsonDocument.object().value(productEntry).toObject();
    setWebEnable(true);

    // Compared unsigned: a negative announcement counts as newer than anything held.
    const auto announcedVersion = static_cast<quint32>(informationNumber(QStringLiteral("firmware_version")));
    const auto announcedBuild = static_cast<quint32>(informationNumber(QStringLiteral("firmware_build")));
    if (fwVersion < announcedVersion) {
        qDebug("server fw version is later than device");
        firmwarePath.clear();
    }
    if (fwBuild < announcedBuild) {
        qDebug("server fw build is later than device");
        firmwarePath.clear();
    }
    if (!firmwarePath.isEmpty())
        return;
    fwVersion = announcedVersion;
    fwBuild = announcedBuild;
    setLabel(Qt_Enum::LABEL_ROM_VERSION, versionBuildText(fwVersion, fwBuild));
}

void MainWindow::getFirmware()
{
    if (!web)
        return;
    const QString url = jsonObject.value(QStringLiteral("firmware_url")).toString();
    if (url.isEmpty()) {
        // Announced without an address: the confirmed update cannot go on.
        if (updateState == 3)
            abandonDownload(internetText());
        return;
    }
    qDebug("downloadStart");
    setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Updating..."));
    emit downloadStart(url, informationNumber(QStringLiteral("firmware_version")));
}

void MainWindow::downloadFinish(QString path)
{
    firmwarePath = path;
    qDebug("downloadFinish");
    if (checkFirmwareFile(firmwarePath)) {
        updateState = 2;
        startUpdate(Qt_Enum::UPDATE_START);
        return;
    }
    // A file that is no firmware for the recorder is not kept to be offered
    // again at the next start, and the next confirmation downloads anew.
    if (!firmwarePath.isEmpty())
        QFile::remove(firmwarePath);
    firmwarePath.clear();
    abandonDownload(tr("This firmware cannot be used to update this device.") + QLatin1Char('\n') +
                    tr("Please use the correct file."));
}

void MainWindow::downloadFailed()
{
    qDebug("downloadFailed");
    abandonDownload(internetText());
}

QString MainWindow::internetText()
{
    return tr("Please connect to the Internet.");
}

/* Back to idle: the button and the recorder poll return, the user is told
 * why, and a new confirmation may try again. */
void MainWindow::abandonDownload(const QString &text)
{
    showError(text);
    updateState = 0;
    setProgress(0);
    setUpdateEnable(false);
    setUpdatingStatus(false);
}
