// Keeps the computer from going to sleep while an update runs: a recorder
// whose computer suspends mid-update is left half written. Where the system
// offers no way to block sleep, the update runs all the same.
#ifndef SLEEPINHIBITOR_H
#define SLEEPINHIBITOR_H

#include <QObject>

#ifndef Q_OS_WIN
#include <QDBusUnixFileDescriptor>
class QDBusPendingCallWatcher;
#endif

class SleepInhibitor : public QObject
{
    Q_OBJECT

public:
    explicit SleepInhibitor(QObject *parent = nullptr);
    ~SleepInhibitor() override;

    // Both may be called any number of times; only the change counts.
    void hold();
    void release();

#ifndef Q_OS_WIN
private slots:
    void on_inhibit(QDBusPendingCallWatcher *call);

private:
    /* logind keeps sleep blocked while this descriptor stays open. */
    QDBusUnixFileDescriptor lock;
#endif

private:
    bool wanted = false;
};

#endif
