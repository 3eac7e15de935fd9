/* Stands in for the controller behind the window: it publishes the same
 * properties, notify signals and invokables, lets a test put it into any
 * state, and records every call the window makes instead of acting on it. */
#ifndef CONTROLLERDOUBLE_H
#define CONTROLLERDOUBLE_H

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include "qt_enum.h"

class ControllerDouble : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<QString> label MEMBER m_label NOTIFY changeLabel)
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
    void setLabel(int index, const QString &text)
    {
        m_label[index] = text;
        emit changeLabel();
    }
    /* Each call the window made, written "name(arguments)", oldest first. */
    QStringList calls;

    Q_INVOKABLE void selectFirmware(QString path) { record("selectFirmware", path); }
    Q_INVOKABLE void startUpdate(int mode) { record("startUpdate", mode); }
    Q_INVOKABLE void getFirmware() { record("getFirmware"); }
    Q_INVOKABLE void initialize() { record("initialize"); }
    Q_INVOKABLE void setProgress(int percent) { record("setProgress", percent); }
    Q_INVOKABLE void openLicensePage() { record("openLicensePage"); }
    Q_INVOKABLE void setLicenseEnable(bool enable) { record("setLicenseEnable", enable); }
    Q_INVOKABLE void setPopupEnable(bool enable) { record("setPopupEnable", enable); }
    Q_INVOKABLE void setError(bool enable) { record("setError", enable); }
    Q_INVOKABLE void setCheck(bool enable) { record("setCheck", enable); }
    Q_INVOKABLE void goLink(int type) { record("goLink", type); }

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
    void record(const char *name, const QVariant &argument = {})
    {
        calls << QStringLiteral("%1(%2)").arg(QLatin1String(name), argument.toString());
    }

    QList<QString> m_label = QVector<QString>(Qt_Enum::LABEL_NUM, QStringLiteral("---")).toList();
    int m_progress = 0;
    bool m_web = false, m_update = false, m_updating = false, m_downloaded = false;
    bool m_license = false, m_popup = false, m_error = false, m_check = false;
};

#endif
