#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

#include "prgencode.h"

QByteArray firmwareImage(const char *product, quint16 version, quint16 build, int payloadLength)
{
    prg_image_info info{};
    for (int i = 0; i < 8 && product[i]; ++i)
        info.product[i] = product[i];
    info.version = version;
    info.build = build;
    info.year = 2024;
    info.month = 1;
    info.day = 31;
    std::vector<uint8_t> payload(static_cast<size_t>(payloadLength));
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 7 + version);
    QByteArray image(payloadLength + PRG_MIN_IMAGE_SIZE, '\0');
    if (prg_build_image(&info, payload.data(), payloadLength, reinterpret_cast<uint8_t *>(image.data()),
                        image.size()) != 0)
        return QByteArray();
    return image;
}

QByteArray corruptedImage(const QByteArray &image)
{
    QByteArray changed = image;
    changed[PRG_HEADER_SIZE + 1] = static_cast<char>(changed[PRG_HEADER_SIZE + 1] ^ 0x5a);
    return changed;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

FdCapture::FdCapture(int fd) : target(fd)
{
    std::fflush(stdout);
    std::fflush(stderr);
    char name[] = "/tmp/vzapp_captureXXXXXX";
    sink = mkstemp(name);
    unlink(name);
    saved = dup(target);
    dup2(sink, target);
}

FdCapture::~FdCapture()
{
    finish();
}

QByteArray FdCapture::finish()
{
    if (saved < 0)
        return captured;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved, target);
    close(saved);
    saved = -1;
    lseek(sink, 0, SEEK_SET);
    char buffer[4096];
    ssize_t count;
    while ((count = read(sink, buffer, sizeof buffer)) > 0)
        captured.append(buffer, static_cast<int>(count));
    close(sink);
    return captured;
}

namespace
{
std::atomic<MessageLog *> activeLog{nullptr};
}

MessageLog::MessageLog()
{
    activeLog = this;
    previous = qInstallMessageHandler(&MessageLog::handler);
}

MessageLog::~MessageLog()
{
    qInstallMessageHandler(previous);
    activeLog = nullptr;
}

void MessageLog::handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    MessageLog *log = activeLog.load();
    if (!log)
        return;
    {
        QMutexLocker lock(&log->mutex);
        log->collected.append(message);
    }
    if (log->previous)
        log->previous(type, context, message);
}

QStringList MessageLog::messages() const
{
    QMutexLocker lock(&mutex);
    return collected;
}

bool MessageLog::contains(const QString &message) const
{
    return messages().contains(message);
}

void MessageLog::clear()
{
    QMutexLocker lock(&mutex);
    collected.clear();
}

void useOwnTemporaryFolder(const QString &path)
{
    qputenv("TMPDIR", QFile::encodeName(path));
}

QString firmwareFolderPath()
{
    return QStandardPaths::standardLocations(QStandardPaths::TempLocation).value(0) +
           QStringLiteral("/fwupdate");
}

QString MarkingTranslator::translate(const char *context, const char *sourceText, const char *, int) const
{
    return marked(context, QString::fromUtf8(sourceText));
}

QString marked(const char *context, const QString &text)
{
    return QStringLiteral("<%1>%2").arg(QLatin1String(context), text);
}

void keepOffline()
{
    qputenv("VZ_UPDATE_INFO_URL", "http://127.0.0.1:9/VeldracorderQ7_UpdateInformation.json");
}
