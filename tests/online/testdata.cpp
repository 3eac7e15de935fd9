#include "testdata.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstring>

#include "prgencode.h"

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator{quint32(count)};
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QByteArray firmwareImage(quint16 version, quint16 build, int payloadLength)
{
    prg_image_info info{};
    std::memcpy(info.product, "VELDR-Q7", 8);
    info.version = version;
    info.build = build;
    info.year = 2026;
    info.month = 11;
    info.day = 30;
    const QByteArray payload = randomBytes(payloadLength);
    QByteArray image(payloadLength + PRG_MIN_IMAGE_SIZE, '\0');
    if (prg_build_image(&info, reinterpret_cast<const uint8_t *>(payload.constData()), payloadLength,
                        reinterpret_cast<uint8_t *>(image.data()), image.size()) != 0)
        return QByteArray();
    return image;
}

QByteArray zipBytes(const QList<TestZipEntry> &entries)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("archive.zip"));
    if (!writeTestZip(path, entries).isEmpty())
        return QByteArray();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
