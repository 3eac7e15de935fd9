#include "logcapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace
{
QMutex mutex;
QStringList captured;
QtMessageHandler chained = nullptr;
} // namespace

LogCapture::LogCapture()
{
    QMutexLocker lock(&mutex);
    captured.clear();
    previous = qInstallMessageHandler(handler);
    chained = previous;
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    QMutexLocker lock(&mutex);
    chained = nullptr;
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&mutex);
    return captured;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QtMessageHandler next = nullptr;
    {
        QMutexLocker lock(&mutex);
        captured << message;
        next = chained;
    }
    if (next)
        next(type, context, message);
}
