#include "loghandler.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>
#include <QString>
#include <QTextStream>

namespace
{

/* Qt calls the handler from any thread that logs; one line must never be
 * split by another. A basic mutex has no destructor, so messages logged
 * while static objects are torn down still find it intact. */
QBasicMutex logMutex;

void writeToStandardError(const QString &text)
{
    QTextStream err(stderr);
    err << text << Qt::endl;
    err.flush();
}

QString logDirectory()
{
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::AppDataLocation);
    return locations.isEmpty() ? QString() : locations.first();
}

/* An empty location is treated as a folder that cannot be made: writing
 * next to the file-system root instead would only scatter logs. */
bool ensureDirectory(const QString &path)
{
    return !path.isEmpty() && QDir().mkpath(path);
}

void appendToLogFile(const QString &formatted)
{
    const QString directory = logDirectory();
    if (!ensureDirectory(directory)) {
        writeToStandardError(QStringLiteral("Cannot make directory:") + directory);
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    QFile file(directory + QLatin1Char('/') + now.toString(QStringLiteral("yyyyMMdd")) +
               QStringLiteral("_log.log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        writeToStandardError(QStringLiteral("Cannot open log file:") + file.fileName());
        return;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << now.toString(QStringLiteral("[hh:mm:ss] ")) << formatted << Qt::endl;
}

} // namespace

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&logMutex);
    const QString formatted = qFormatLogMessage(type, context, message);
    writeToStandardError(formatted);
    if (type == QtDebugMsg)
        appendToLogFile(formatted);
}
