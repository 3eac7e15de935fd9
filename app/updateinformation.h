/* The web side of the updater: asks the maker's update server for the
 * update-information document, downloads an announced firmware file into
 * the download folder and, for a zip archive, has it extracted by a
 * separate process. It knows nothing about the recorder. */
#ifndef UPDATEINFORMATION_H
#define UPDATEINFORMATION_H

#include <QObject>
#include <QProcess>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QTimer;

class UpdateInformation : public QObject
{
    Q_OBJECT
public:
    explicit UpdateInformation(QObject *parent = nullptr);

    /* VZ_UPDATE_INFO_URL when set, else the document on the maker's server. */
    static QUrl informationAddress();

    /* A firmware is tens of megabytes; a download announcing or delivering
     * more than this is abandoned instead of being held in memory. */
    static constexpr qint64 maxDownloadBytes = 512LL * 1024 * 1024;
    /* The update-information document is a few hundred bytes; an answer
     * that is larger, or that takes longer than this (before the time
     * scale), counts as no answer and is asked for again later. */
    static constexpr qint64 maxInformationBytes = 1024 * 1024;
    static constexpr int informationTimeoutMs = 30000;
    /* No progress for this long (before the time scale) ends a download. */
    static constexpr int inactivityMs = 60000;
    /* The extraction helper's exit status for an archive it refused. */
    static constexpr int unzipRefused = 2;

signals:
    void finishedInformation(QString str);
    void startedDownloadFile();
    void finishedDownloadFile();
    void progressValueChanged(int);
    void errorDownloadFile();
    void readiedExec(QString str);

public slots:
    void downloadInformation();
    void downloadFile(QString url, int version);
    void cancelDownload();
    void timeoutDownload();

private slots:
    void replyFinishedInfo(QNetworkReply *reply);
    void replyFinishedFileDownload(QNetworkReply *reply);
    void replyFinishedUnzip(int exitCode, QProcess::ExitStatus exitStatus);
    void replyDownloadProgress(qlonglong received, qlonglong total);
    void replyErrorUnzip(QProcess::ProcessError processError);

private:
    bool addressAllowed(const QUrl &url) const;
    void createNetworkManager();
    static QNetworkRequest requestFor(const QUrl &url);
    QNetworkReply *get(const QUrl &url);
    bool abandonIfTooLarge(qint64 received, qint64 total);
    void deleteDownloadTimer();
    QString savedFileName() const;
    bool prepareFolder();
    bool saveFile(const QString &name, const QByteArray &body);
    void announceSavedFile(const QString &name);
    void startExtraction();
    void removeExtractionLeftovers();
    void announceExtractedFile();

    QNetworkAccessManager *networkManager = nullptr;
    QProcess *unzipProcess;
    QNetworkReply *fileReply = nullptr;
    QTimer *downloadTimer = nullptr;
    bool timedOut = false;
    bool isExe = false;
    bool isDmg = false;
    bool isZip = false;
    QString execPath;
    bool infoReady = true;
    QString downloadFolder;
    int downloadVersion = 0;
    /* Read once, when the object is made at start-up. */
    const QUrl infoAddress;
    /* The current download was abandoned for its size. */
    bool tooLarge = false;
};

#endif
