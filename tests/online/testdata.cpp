#include "testdata.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

QByteArray randomBytes(int count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator{quint32(count)};
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
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
