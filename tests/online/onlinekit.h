// What the online tests share: a local HTTPS update server with a certificate made
// for the run, zip archives harmless and hostile, and for each case a fresh TMPDIR
// whose "fwupdate" folder is the download folder.
#ifndef ONLINEKIT_H
#define ONLINEKIT_H

#include <QMap>
#include <QScopedPointer>
#include <QTemporaryDir>
#include <QUrl>

#include "updateserver.h"

Q_DECLARE_METATYPE(UpdateRoute)
using Contents = QMap<QString, QByteArray>;
extern const QString informationPath;

struct ZipEntry {
    QByteArray name;
    QByteArray data; // the target, for a link
    bool link = false;
};

// The same count gives the same bytes.
QByteArray randomBytes(int count);
// The bytes of an archive written by libzip; empty when it refuses an entry.
QByteArray zipOf(const QList<ZipEntry> &entries);
// Makes both headers of the named entry claim another uncompressed size.
void declareSize(QByteArray &zip, const QByteArray &name, quint32 size);
UpdateRoute answer(int status, const QByteArray &body = QByteArray());
// Every path below the folder, hidden ones included, with its bytes or "<dir>" or "<link>".
Contents contentsOf(const QString &folder);

class OnlineFixture
{
public:
    // For initTestCase; a failure there skips every case.
    void setUp();
    // For init(): also closes what the previous case left open.
    void startCase();

    void trustServer(bool trusted);
    QUrl url(const QString &path) const;
    QString temporaryLocation() const { return temporary->path(); }
    QString downloadFolder() const { return temporary->filePath(QStringLiteral("fwupdate")); }
    UpdateServer server;

private:
    QTemporaryDir pki;
    QTemporaryDir cases;
    QScopedPointer<QTemporaryDir> temporary;
    QString startDirectory;
};

#endif
