// Bytes for the online tests: random payloads and archives.
#ifndef TESTDATA_H
#define TESTDATA_H

#include <QByteArray>
#include <QList>
#include <QString>

#include "testzip.h"

// The same count gives the same bytes.
QByteArray randomBytes(int count);
// The bytes of a zip archive, or empty when libzip refuses the entries.
QByteArray zipBytes(const QList<TestZipEntry> &entries);

#endif
