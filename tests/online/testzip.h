// Zip archives for the tests, harmless and hostile, made with libzip.
#ifndef TESTZIP_H
#define TESTZIP_H

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QString>

struct TestZipEntry {
    enum Kind { File, Symlink, Directory, Encrypted, ZeroFill };
    QByteArray name;
    QByteArray data; // the link target for Symlink
    Kind kind = File;
    quint64 zeros = 0; // ZeroFill: this many zero bytes, made while compressing
};

Q_DECLARE_METATYPE(TestZipEntry)

// Writes the archive; an empty result on success, else the reason.
QString writeTestZip(const QString &path, const QList<TestZipEntry> &entries);

// Makes the archive claim another uncompressed size for one entry, in its
// local header and in the central directory, as a lying archive would.
bool patchDeclaredSize(const QString &path, const QByteArray &name, quint32 size);

// Renames an entry in both headers to another name of the same length, to
// make archives that libzip itself would not write (two equal names).
bool patchName(const QString &path, const QByteArray &name, const QByteArray &replacement);

#endif
