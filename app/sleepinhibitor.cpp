#include "sleepinhibitor.h"

#include <QCoreApplication>
#include <QDebug>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

SleepInhibitor::SleepInhibitor(QObject *parent) : QObject(parent) {}

SleepInhibitor::~SleepInhibitor()
{
    release();
}

#ifdef Q_OS_WIN

void SleepInhibitor::hold()
{
    if (wanted)
        return;
    wanted = true;
    if (!SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED))
        qDebug("SleepInhibitor: sleep not blocked");
}

void SleepInhibitor::release()
{
    if (!wanted)
        return;
    wanted = false;
    SetThreadExecutionState(ES_CONTINUOUS);
}

#else

/* Asked without waiting: a login manager that is slow to answer must not
 * hold up the window. */
void SleepInhibitor::hold()
{
    if (wanted)
        return;
    wanted = true;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qDebug() << "SleepInhibitor: sleep not blocked:" << bus.lastError().message();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << QCoreApplication::applicationName()
         << QStringLiteral("Updating the recorder's firmware") << QStringLiteral("block");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::on_inhibit);
}

/* An answer that comes after the update has ended closes its descriptor
 * at once, with the reply. */
void SleepInhibitor::on_inhibit(QDBusPendingCallWatcher *call)
{
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    call->deleteLater();
    if (reply.isError())
        qDebug() << "SleepInhibitor: sleep not blocked:" << reply.error().message();
    else if (wanted)
        lock = reply.value();
}

void SleepInhibitor::release()
{
    wanted = false;
    lock = QDBusUnixFileDescriptor();
}

#endif
