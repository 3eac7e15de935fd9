// What every online test case needs: a trusted HTTPS update server and an
// untrusted one on 127.0.0.1, a fresh temporary location (TMPDIR) whose
// "fwupdate" folder is the download folder, and the time scale reset.
#ifndef ONLINEFIXTURE_H
#define ONLINEFIXTURE_H

#include <QScopedPointer>
#include <QTemporaryDir>
#include <QUrl>

#include "testpki.h"
#include "updateserver.h"

class OnlineFixture
{
public:
    // For initTestCase: an empty result when all is ready, else the reason.
    QString setUp();
    // For init() and cleanup() of each case.
    void startCase();
    void endCase();

    QUrl url(const QString &path) const;
    QUrl untrustedUrl(const QString &path) const;
    // An address where nothing listens.
    QUrl deadUrl(const QString &path) const;

    QString temporaryLocation() const { return temporary->path(); }
    QString downloadFolder() const { return temporary->filePath(QStringLiteral("fwupdate")); }
    // Every entry below the temporary location, relative, hidden ones included.
    QStringList temporaryTree() const;

    UpdateServer server;
    UpdateServer untrusted;

private:
    TestPki pki;
    quint16 deadPort = 0;
    QString startDirectory;
    QScopedPointer<QTemporaryDir> cases;
    QScopedPointer<QTemporaryDir> temporary;
};

#endif
