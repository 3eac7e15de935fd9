// Bytes for the online tests: random payloads, firmware images, archives.
#ifndef TESTDATA_H
#define TESTDATA_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "testzip.h"

// The same count gives the same bytes.
QByteArray randomBytes(int count);
// A valid Veldracorder Q7 image ("VELDR-Q7") with a random payload.
QByteArray firmwareImage(quint16 version, quint16 build, int payloadLength = 3000);
// The bytes of a zip archive, or empty when libzip refuses the entries.
QByteArray zipBytes(const QList<TestZipEntry> &entries);
bool writeFile(const QString &path, const QByteArray &bytes);

#endif
