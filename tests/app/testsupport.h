// Shared helpers of the application tests: firmware files, captured output,
// collected log messages, marked translations and a private temporary folder.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QMutex>
#include <QStringList>
#include <QTranslator>

#include <functional>

// A complete firmware image with a payload of the given length.
QByteArray firmwareImage(const char *product, quint16 version, quint16 build, int payloadLength = 600);
// False when the file cannot be written whole.
bool writeFile(const QString &path, const QByteArray &bytes);
// What action writes to the file descriptor fd (1 or 2) while it runs.
QByteArray captureOutput(int fd, const std::function<void()> &action);

// Collects every message Qt logs while it lives (from any thread), and
// passes them on to the handler installed before.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    QStringList messages() const;
    bool contains(const QString &message) const { return messages().contains(message); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    mutable QMutex mutex;
    QStringList collected;
    QtMessageHandler previous = nullptr;
};

// Translates every text into "<context>text": tests see what was translated, and where.
inline QString marked(const char *context, const QString &text)
{
    return QStringLiteral("<%1>%2").arg(QLatin1String(context), text);
}
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *text, const char *, int) const override
    {
        return marked(context, QString::fromUtf8(text));
    }
    bool isEmpty() const override { return false; }
};

// Update-information requests go to a closed loopback port: tests never leave this machine.
void keepOffline();
// A temporary folder of the process's own, whose "fwupdate" folder meets no other test's files.
void useOwnTemporaryFolder(const QString &path);
QString firmwareFolderPath();

#endif
