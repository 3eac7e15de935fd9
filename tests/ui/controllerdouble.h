/* Stands in for the controller behind the window: it publishes the same
 * properties, notify signals and invokables, lets a test put it into any
 * state, and records every call the window makes instead of acting on it. */
#ifndef CONTROLLERDOUBLE_H
#define CONTROLLERDOUBLE_H

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class ControllerDouble : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QString> label READ label NOTIFY changeLabel)
    Q_PROPERTY(int progress MEMBER m_progress NOTIFY changeProgress)
    Q_PROPERTY(bool web MEMBER m_web NOTIFY changeWebEnable)
    Q_PROPERTY(bool update MEMBER m_update NOTIFY changeUpdateEnable)
    Q_PROPERTY(bool updating MEMBER m_updating NOTIFY changeUpdatingStatus)
    Q_PROPERTY(bool downloaded MEMBER m_downloaded NOTIFY changeDownloadedStatus)
    Q_PROPERTY(bool license MEMBER m_license NOTIFY changeLicenseEnable)
    Q_PROPERTY(bool popup MEMBER m_popup NOTIFY changePopupEnable)
    Q_PROPERTY(bool error MEMBER m_error NOTIFY changeError)
    Q_PROPERTY(bool check MEMBER m_check NOTIFY changeCheck)

public:
    explicit ControllerDouble(QObject *parent = nullptr);

    QList<QString> label() const { return m_label; }
    void setLabel(int index, const QString &text);

    /* Each call the window made, written "name(arguments)", oldest first. */
    QStringList calls;

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
    void changeLabel();
    void changeProgress();
    void changeWebEnable();
    void changeUpdateEnable();
    void changeUpdatingStatus();
    void changeDownloadedStatus();
    void changeLicenseEnable();
    void changePopupEnable();
    void changeError();
    void changeCheck();

private:
    void record(const char *name, const QString &argument = QString());

    QList<QString> m_label;
    int m_progress = 0;
    bool m_web = false;
    bool m_update = false;
    bool m_updating = false;
    bool m_downloaded = false;
    bool m_license = false;
    bool m_popup = false;
    bool m_error = false;
    bool m_check = false;
};

#endif
