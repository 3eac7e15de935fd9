#include "updateinformation.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopedPointer>
#include <QStandardPaths>
#include <QTimer>

#include "apptiming.h"
#include "ownedpath.h"

#ifndef VZ_UPDATE_HOST
#error "VZ_UPDATE_HOST names the maker's update server; the build defines it"
#endif

namespace
{

const char informationPath[] = "/download/fw/Veldracorder/VeldracorderQ7_UpdateInformation.json";

using ReplyHolder = QScopedPointer<QNetworkReply, QScopedPointerDeleteLater>;

/* Only a 2xx answer carries the document or the file: redirects are not
 * followed and count as failures like any other status. */
bool replySucceeded(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
}

QString replyErrorText(QNetworkReply *reply)
{
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    return QStringLiteral("HTTP status %1")
        .arg(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

QString temporaryLocation()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::TempLocation);
    return locations.isEmpty() ? QString() : locations.first();
}

/* Every visible file, including links and other non-directories. */
QFileInfoList visibleFiles(const QDir &folder, const QStringList &patterns = {})
{
    return folder.entryInfoList(patterns, QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
}

void removeVisibleFiles(const QDir &folder, const QStringList &patterns = {})
{
    for (const QFileInfo &file : visibleFiles(folder, patterns))
        QFile::remove(file.absoluteFilePath());
}

#ifdef Q_OS_WIN
const char unzipScript[] = "var shellapp =  new ActiveXObject(\"shell.application\");\n"
                           "var in_zip_path = WScript.Arguments(0);\n"
                           "var out_folder_path = WScript.Arguments(1);\n"
                           "var in_zip = shellapp.NameSpace(in_zip_path);\n"
                           "var out_folder = shellapp.NameSpace(out_folder_path);\n"
                           "out_folder.CopyHere(in_zip.Items(), 0);";
#else
/* Beside the program in a build folder; in the helper folder once installed. */
QString extractionHelper()
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    const QString beside = programFolder.filePath(QStringLiteral("vzunzip"));
    return QFileInfo::exists(beside)
               ? beside
               : programFolder.filePath(QStringLiteral(VZ_HELPER_FROM_PROGRAM "/vzunzip"));
}
#endif

} // namespace

UpdateInformation::UpdateInformation(QObject *parent)
    : QObject(parent), unzipProcess(new QProcess(this)), infoAddress(informationAddress())
{
    connect(unzipProcess, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &UpdateInformation::replyFinishedUnzip);
    connect(unzipProcess, &QProcess::errorOccurred, this, &UpdateInformation::replyErrorUnzip);
}

QUrl UpdateInformation::informationAddress()
{
    const QByteArray configured = qgetenv("VZ_UPDATE_INFO_URL");
    if (!configured.isEmpty())
        return QUrl::fromEncoded(configured, QUrl::StrictMode);
    return QUrl(QStringLiteral("https://") + QStringLiteral(VZ_UPDATE_HOST) + QLatin1String(informationPath));
}

/* The firmware comes over https; plain http only where the information
 * itself came that way, as from a local demonstration server. */
bool UpdateInformation::addressAllowed(const QUrl &url) const
{
    const QString scheme = url.scheme();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && infoAddress.scheme() == QLatin1String("http"));
}

void UpdateInformation::createNetworkManager()
{
    if (!networkManager)
        networkManager = new QNetworkAccessManager(this);
}

QNetworkRequest UpdateInformation::requestFor(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    return request;
}

QNetworkReply *UpdateInformation::get(const QUrl &url)
{
    return networkManager->get(requestFor(url));
}

void UpdateInformation::downloadInformation()
{
    createNetworkManager();
    if (!infoReady)
        return;
    infoReady = false;
    // Each reply goes to its own handler, so that a download started before
    // the document arrived cannot be taken for it, nor the other way round.
    QNetworkRequest request = requestFor(infoAddress);
    request.setTransferTimeout(AppTiming::scaled(informationTimeoutMs));
    QNetworkReply *reply = networkManager->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { replyFinishedInfo(reply); });
    // Larger answers are dropped before they are held whole.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maxInformationBytes || total > maxInformationBytes)
            reply->abort();
    });
}

void UpdateInformation::replyFinishedInfo(QNetworkReply *reply)
{
    ReplyHolder holder(reply);
    infoReady = true;
    QByteArray body = reply->read(maxInformationBytes + 1);
    if (!replySucceeded(reply) || body.size() > maxInformationBytes) {
        emit finishedInformation(QStringLiteral("ERROR"));
        return;
    }
    const int zero = body.indexOf('\0');
    if (zero >= 0)
        body.truncate(zero);
    emit finishedInformation(QString::fromUtf8(body));
}

void UpdateInformation::downloadFile(QString url, int version)
{
    qDebug() << "UpdateInformation: download" << url;
    if (fileReply || unzipProcess->state() != QProcess::NotRunning) {
        qDebug("UpdateInformation: download already running");
        return;
    }
    if (!addressAllowed(QUrl(url))) {
        qDebug("UpdateInformation: address refused");
        emit errorDownloadFile();
        return;
    }
    downloadVersion = version;
    isExe = url.endsWith(QLatin1String("exe"), Qt::CaseInsensitive);
    isDmg = url.endsWith(QLatin1String("dmg"), Qt::CaseInsensitive);
    isZip = url.endsWith(QLatin1String("zip"), Qt::CaseInsensitive);

    downloadTimer = new QTimer(this);
    downloadTimer->setSingleShot(true);
    downloadTimer->start(AppTiming::scaled(inactivityMs));
    timedOut = false;
    tooLarge = false;
    connect(downloadTimer, &QTimer::timeout, this, &UpdateInformation::timeoutDownload);

    createNetworkManager();
    QNetworkReply *reply = get(QUrl(url));
    fileReply = reply;
    // Queued: an abort finishes the reply at once, and the canceller still
    // wants to look at it.
    connect(
        reply, &QNetworkReply::finished, this, [this, reply] { replyFinishedFileDownload(reply); },
        Qt::QueuedConnection);
    // The announced length is known before the body: refuse early.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this, reply] {
        abandonIfTooLarge(0, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::downloadProgress, this, &UpdateInformation::replyDownloadProgress);
    emit startedDownloadFile();
}

void UpdateInformation::replyDownloadProgress(qlonglong received, qlonglong total)
{
    if (total == 0 || abandonIfTooLarge(received, total))
        return;
    // Truncating integer steps: the download is the first sixth of the bar.
    const qint64 percent = ((qint64(received) * 100) / 6) / qint64(total);
    emit progressValueChanged(int(percent));
    if (downloadTimer)
        downloadTimer->start(AppTiming::scaled(inactivityMs));
}

bool UpdateInformation::abandonIfTooLarge(qint64 received, qint64 total)
{
    if (tooLarge || (received <= maxDownloadBytes && total <= maxDownloadBytes))
        return tooLarge;
    qDebug() << "UpdateInformation: file too large" << received << total;
    tooLarge = true;
    cancelDownload();
    return true;
}

void UpdateInformation::timeoutDownload()
{
    qDebug("UpdateInformation: timeout");
    timedOut = true;
    cancelDownload();
}

void UpdateInformation::cancelDownload()
{
    qDebug("UpdateInformation: cancel download");
    if (!fileReply)
        return;
    if (fileReply->isRunning())
        fileReply->abort();
    qDebug() << "UpdateInformation: file download abort" << fileReply->errorString();
}

void UpdateInformation::deleteDownloadTimer()
{
    if (!downloadTimer)
        return;
    disconnect(downloadTimer, &QTimer::timeout, this, &UpdateInformation::timeoutDownload);
    delete downloadTimer;
    downloadTimer = nullptr;
}

void UpdateInformation::replyFinishedFileDownload(QNetworkReply *reply)
{
    ReplyHolder holder(reply);
    fileReply = nullptr;
    emit finishedDownloadFile();
    deleteDownloadTimer();

    if (!replySucceeded(reply)) {
        qDebug("UpdateInformation: file download error");
        qDebug() << replyErrorText(reply);
        const bool cancelledByCaller =
            reply->error() == QNetworkReply::OperationCanceledError && !timedOut && !tooLarge;
        if (!cancelledByCaller)
            emit errorDownloadFile();
        return;
    }
    const QByteArray body = reply->readAll();
    if (body.isEmpty()) {
        qDebug("UpdateInformation: file download size zero");
        emit errorDownloadFile();
        return;
    }
    const QString name = savedFileName();
    if (!prepareFolder() || !saveFile(name, body)) {
        emit errorDownloadFile();
        return;
    }
    if (isZip)
        startExtraction();
    else
        announceSavedFile(name);
}

QString UpdateInformation::savedFileName() const
{
    if (isExe)
        return QStringLiteral("temp.exe");
    if (isDmg)
        return QStringLiteral("temp.dmg");
    if (isZip)
        return QStringLiteral("temp.zip");
    return QStringLiteral("temp.%1").arg(downloadVersion);
}

bool UpdateInformation::prepareFolder()
{
    const QString temporary = temporaryLocation();
    downloadFolder = temporary + QStringLiteral("/fwupdate");
    execPath.clear();
    const QDir folder(downloadFolder);
    if (folder.exists()) {
        if (!folderIsOurs(downloadFolder)) {
            qDebug() << "UpdateInformation: folder refused" << downloadFolder;
            return false;
        }
        removeVisibleFiles(folder);
    } else if (QDir(temporary).mkdir(QStringLiteral("fwupdate"))) {
        QFile::setPermissions(downloadFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QDir::setCurrent(downloadFolder);
    qDebug() << "UpdateInformation: Dir" << QDir::currentPath();
    return true;
}

/* The folder was emptied just before, so the name is free; NewOnly still
 * refuses anything that appeared under it meanwhile rather than following it. */
bool UpdateInformation::saveFile(const QString &name, const QByteArray &body)
{
    QFile file(QDir(downloadFolder).filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qDebug("UpdateInformation: file open error");
        return false;
    }
    if (file.write(body) != body.size() || !file.flush()) {
        qDebug() << "UpdateInformation: file write error" << file.errorString();
        file.remove();
        return false;
    }
    file.close();
    return true;
}

void UpdateInformation::announceSavedFile(const QString &name)
{
    execPath = downloadFolder + QLatin1Char('/') + name;
    if (isExe || isDmg)
        qDebug() << "UpdateInformation: exec" << execPath;
    else
        qDebug() << "UpdateInformation: binary" << execPath;
    emit readiedExec(execPath);
}

void UpdateInformation::startExtraction()
{
#ifdef Q_OS_WIN
    QFile script(QDir(downloadFolder).filePath(QStringLiteral("unzip.js")));
    if (!script.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qDebug("UpdateInformation: file open error");
        emit errorDownloadFile();
        return;
    }
    script.write(unzipScript);
    script.close();
    downloadFolder.replace(QLatin1Char('/'), QLatin1Char('\\'));
    unzipProcess->start(
        QStringLiteral("cscript"),
        {QStringLiteral("unzip.js"), downloadFolder + QStringLiteral("\\temp.zip"), downloadFolder},
        QIODevice::ReadWrite);
#else
    unzipProcess->start(extractionHelper(), {downloadFolder + QStringLiteral("/temp.zip"), downloadFolder},
                        QIODevice::ReadWrite);
#endif
}

void UpdateInformation::removeExtractionLeftovers()
{
    const QDir folder(QDir::fromNativeSeparators(downloadFolder));
    QFile::remove(folder.filePath(QStringLiteral("unzip.js")));
    QFile::remove(folder.filePath(QStringLiteral("temp.zip")));
}

void UpdateInformation::replyErrorUnzip(QProcess::ProcessError processError)
{
    if (processError != QProcess::FailedToStart)
        return;
    qDebug() << "UpdateInformation: unzip not started" << unzipProcess->errorString();
    removeExtractionLeftovers();
    emit errorDownloadFile();
}

void UpdateInformation::replyFinishedUnzip(int exitCode, QProcess::ExitStatus exitStatus)
{
    removeExtractionLeftovers();
    const QByteArray diagnostics = unzipProcess->readAllStandardError().trimmed();
    if (!diagnostics.isEmpty())
        qDebug() << "UpdateInformation: unzip says" << QString::fromLocal8Bit(diagnostics);
    if (exitStatus == QProcess::CrashExit) {
        qDebug("UpdateInformation: CrashExit");
        emit errorDownloadFile();
        return;
    }
    if (exitCode == unzipRefused) {
        // Bad content, not a failed transfer: nothing usable was extracted,
        // and the controller's file check turns down the empty path.
        qDebug("UpdateInformation: archive refused");
        emit readiedExec(QString());
        return;
    }
    if (exitCode != 0) {
        qDebug() << "UpdateInformation: unzip error" << exitCode;
        emit errorDownloadFile();
        return;
    }
    announceExtractedFile();
}

void UpdateInformation::announceExtractedFile()
{
    const QDir folder(QDir::fromNativeSeparators(downloadFolder));
    removeVisibleFiles(folder, {QStringLiteral("*.pdf"), QStringLiteral("*.txt")});
    const QFileInfoList remaining = visibleFiles(folder);
    if (!remaining.isEmpty()) {
        execPath = remaining.first().absoluteFilePath();
        qDebug() << "UpdateInformation: binary" << execPath;
    }
    emit readiedExec(execPath);
}
