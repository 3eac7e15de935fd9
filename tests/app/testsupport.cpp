#include "testsupport.h"

#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "prgencode.h"

QByteArray firmwareImage(const char *product, quint16 version, quint16 build, int payloadLength)
{
    prg_image_info info{{}, version, build, 2024, 1, 31};
    std::memcpy(info.product, product, std::min(std::strlen(product), sizeof info.product));
    QByteArray payload(payloadLength, '\0');
    for (int i = 0; i < payloadLength; ++i)
        payload[i] = char(i * 7 + version);
    QByteArray image(payloadLength + PRG_MIN_IMAGE_SIZE, '\0');
    const int failed =
        prg_build_image(&info, reinterpret_cast<const uint8_t *>(payload.constData()), payloadLength,
                        reinterpret_cast<uint8_t *>(image.data()), image.size());
    return failed ? QByteArray() : image;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray captureOutput(int fd, const std::function<void()> &action)
{
    std::FILE *sink = std::tmpfile();
    std::fflush(nullptr);
    const int saved = dup(fd);
    dup2(fileno(sink), fd);
    action();
    std::fflush(nullptr);
    dup2(saved, fd);
    close(saved);
    std::rewind(sink);
    QFile file;
    file.open(sink, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return file.readAll();
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

void keepOffline()
{
    qputenv("VZ_UPDATE_INFO_URL", "http://127.0.0.1:9/VeldracorderQ7_UpdateInformation.json");
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
