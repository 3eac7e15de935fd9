// Shared helpers of the application tests: firmware files, captured
// output streams and collected log messages.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <cstdint>

// A complete firmware image with a payload of the given length.
QByteArray firmwareImage(const char *product, quint16 version, quint16 build, int payloadLength = 600);
// The same image with one payload byte changed, so that its checksum fails.
QByteArray corruptedImage(const QByteArray &image);
// Writes bytes to path; false when the file cannot be written whole.
bool writeFile(const QString &path, const QByteArray &bytes);

// Redirects a file descriptor (1 or 2) into a temporary file until
// finish(); check results only afterwards, or a failure report would be
// captured too.
class FdCapture
{
public:
    explicit FdCapture(int fd);
    ~FdCapture();
    FdCapture(const FdCapture &) = delete;
    FdCapture &operator=(const FdCapture &) = delete;
    QByteArray finish();

private:
    int target;
    int saved;
    int sink;
    QByteArray captured;
};

// Collects every message Qt logs while it lives (any thread), and passes
// them on to the handler that was installed before.
class MessageLog
{
public:
    MessageLog();
    ~MessageLog();
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    QStringList messages() const;
    bool contains(const QString &message) const;
    void clear();

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &message);
    mutable QMutex mutex;
    QStringList collected;
    QtMessageHandler previous;
};

// Marks every text it translates with its context ("<MainWindow>Start
// updating"), so a test sees which texts were translated, and where.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override;
    bool isEmpty() const override { return false; }
};
// The marked form of a text.
QString marked(const char *context, const QString &text);

// Points the controller's update-information requests at a closed
// loopback port, so that tests never reach beyond this machine.
void keepOffline();

// Gives the process a temporary folder of its own, so that the controller's
// "fwupdate" folder never meets another test's files.
void useOwnTemporaryFolder(const QString &path);
QString firmwareFolderPath();

#endif
