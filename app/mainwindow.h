/* The object behind the user interface: every text and flag the window
 * shows, the recorder poll, and the update sequence. */
#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>

#include <memory>
#include <string>

#include "deviceaccess.h"
#include "qt_enum.h"
#include "sleepinhibitor.h"
#include "updateinformation.h"
#include "updatejob.h"
#include "vzdevice.h"

class MainWindow : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QString> label READ getLabel NOTIFY changeLabel)
    Q_PROPERTY(int progress READ getProgress WRITE setProgress NOTIFY changeProgress)
    Q_PROPERTY(bool web READ getWebEnable WRITE setWebEnable NOTIFY changeWebEnable)
    Q_PROPERTY(bool update READ getUpdateEnable WRITE setUpdateEnable NOTIFY changeUpdateEnable)
    Q_PROPERTY(bool updating READ getUpdatingStatus WRITE setUpdatingStatus NOTIFY changeUpdatingStatus)
    Q_PROPERTY(
        bool downloaded READ getDownloadedStatus WRITE setDownloadedStatus NOTIFY changeDownloadedStatus)
    Q_PROPERTY(bool license READ getLicenseEnable WRITE setLicenseEnable NOTIFY changeLicenseEnable)
    Q_PROPERTY(bool popup READ getPopupEnable WRITE setPopupEnable NOTIFY changePopupEnable)
    Q_PROPERTY(bool error READ getError WRITE setError NOTIFY changeError)
    Q_PROPERTY(bool check READ getCheck WRITE setCheck NOTIFY changeCheck)

public:
    explicit MainWindow(QObject *parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow &) = delete;
    MainWindow &operator=(const MainWindow &) = delete;

    /* "1.02" for 102: hundreds, a point, two digits of remainder. */
    static QString versionText(quint32 version);
    /* "Ver. 1.02 Build 34", the form of the firmware and recorder lines. */
    static QString versionBuildText(quint32 version, quint32 build);

    QList<QString> getLabel() const { return label; }
    int getProgress() const { return progress; }
    bool getWebEnable() const { return web; }
    bool getUpdateEnable() const { return update; }
    bool getUpdatingStatus() const { return updating; }
    bool getDownloadedStatus() const { return downloaded; }
    bool getLicenseEnable() const { return license; }
    bool getPopupEnable() const { return popup; }
    bool getError() const { return error; }
    bool getCheck() const { return check; }

    void setWebEnable(bool enable);
    void setUpdateEnable(bool enable);
    void setUpdatingStatus(bool status);
    void setDownloadedStatus(bool status);

    /* Replaces one label entry; an equal text or an index outside the list
     * changes nothing and emits nothing. */
    void setLabel(int index, const QString &text);

    Q_INVOKABLE void selectFirmware(QString path);
    Q_INVOKABLE void startUpdate(int mode);
    Q_INVOKABLE void getFirmware();
    Q_INVOKABLE void initialize();
    Q_INVOKABLE void setProgress(int percent);
    Q_INVOKABLE void openLicensePage();
    Q_INVOKABLE void setLicenseEnable(bool enable);
    Q_INVOKABLE void setPopupEnable(bool enable);
    Q_INVOKABLE void setError(bool enable);
    Q_INVOKABLE void setCheck(bool enable);
    Q_INVOKABLE void goLink(int type);

signals:
    void downloadStart(QString url, int version);
    void changeLabel();
    void changePopupText();
    void changeProgress();
    void changeWebEnable();
    void changeUpdateEnable();
    void changeUpdatingStatus();
    void changeDownloadedStatus();
    void changeLicenseEnable();
    void changePopupEnable();
    void changeError();
    void changeCheck();

private slots:
    void on_timer_update();
    void on_processtext(QString text);
    void on_error(QString error);
    void on_complete();
    void on_finish();
    void on_timer_device();
    void on_timer_json();
    void getJSON(QString json);
    void downloadFinish(QString path);
    void downloadFailed();
    void on_device_poll(RecorderPoll poll);
    void on_device_check(RecorderCheck check);

private:
    static QString firmwareFolder();
    /* A number of the update information: 0 unless it is a whole number
     * within the signed 32-bit range. */
    qint32 informationNumber(const QString &key) const;
    void releaseImage();
    void showError(const QString &text);

    bool checkFirmwareFile(const QString &path);
    bool findLocalFirmware();
    void checkStep();
    void confirmUpdate();
    void runStartChecks();
    bool checkImage(std::string &product);
    bool imageInUse() const;
    void refuseStart(const char *debugLine, const QString &text);
    void startWorker();
    void waitForUpdateThread();
    void startDeviceThread();
    void stopDeviceThread();
    QString downgradeMessage() const;
    static QString internetText();
    void abandonDownload(const QString &text);

    QTimer progressTimer;
    VzDevice vz;
    qint32 updateState = 0;
    QString firmwarePath;
    quint32 fwVersion = 0;
    quint32 fwBuild = 0;
    quint16 hwVersion = 0;
    quint16 hwBuild = 0;
    UpdateProgress updateProgress;
    UpdateJob updateJob;
    QTimer deviceTimer;
    QTimer jsonTimer;
    /* Parentless; it goes with the controller, which lives as long as the program. */
    std::unique_ptr<UpdateInformation> updateInformation;
    QJsonDocument jsonDocument;
    QJsonObject jsonObject;
    QList<QString> label;
    int progress = 0;
    bool web = false;
    bool update = false;
    bool updating = false;
    bool downloaded = false;
    bool license = false;
    bool popup = false;
    bool error = false;
    bool check = false;
    /* Only for the destructor: an update in flight must end before the
     * device and the image it uses go away. */
    QPointer<QThread> updateThread;
    /* Held while the worker runs; the destructor has waited for the
     * update thread by the time it goes. */
    SleepInhibitor sleepInhibitor;
    /* The recorder's queries run there, so that a slow or silent recorder
     * never holds up the window; the flags are the GUI thread's own and
     * keep the queries and the update apart. */
    QThread deviceThread;
    std::unique_ptr<DeviceAccess> deviceAccess;
    bool pollInFlight = false;
    bool checkInFlight = false;
};

#endif
