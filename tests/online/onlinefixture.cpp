#include "onlinefixture.h"

#include <QDir>
#include <QDirIterator>
#include <QStandardPaths>
#include <QTcpServer>

#include "apptiming.h"

QString OnlineFixture::setUp()
{
    if (!pki.error().isEmpty())
        return pki.error();
    QStandardPaths::setTestModeEnabled(true);
    pki.trustTestCa();
    pki.useTrusted(&server);
    pki.useUntrusted(&untrusted);
    if (!server.start() || !untrusted.start())
        return QStringLiteral("cannot listen on 127.0.0.1");
    QTcpServer closed;
    if (!closed.listen(QHostAddress::LocalHost))
        return QStringLiteral("cannot find a free port");
    deadPort = closed.serverPort();
    startDirectory = QDir::currentPath();
    // Each case points TMPDIR elsewhere; its folders are made here.
    cases.reset(new QTemporaryDir());
    return cases->isValid() ? QString() : QStringLiteral("no temporary folder");
}

void OnlineFixture::startCase()
{
    temporary.reset(new QTemporaryDir(cases->filePath(QStringLiteral("case-XXXXXX"))));
    qputenv("TMPDIR", QFile::encodeName(temporary->path()));
    server.clearRoutes();
    untrusted.clearRoutes();
    AppTiming::setScale(1.0);
}

void OnlineFixture::endCase()
{
    // Saving a download makes the folder the current directory.
    QDir::setCurrent(startDirectory);
    server.closeConnections();
    untrusted.closeConnections();
    AppTiming::setScale(1.0);
}

QUrl OnlineFixture::url(const QString &path) const
{
    QUrl address = server.baseUrl();
    address.setPath(path);
    return address;
}

QUrl OnlineFixture::untrustedUrl(const QString &path) const
{
    QUrl address = untrusted.baseUrl();
    address.setPath(path);
    return address;
}

QUrl OnlineFixture::deadUrl(const QString &path) const
{
    QUrl address = server.baseUrl();
    address.setPort(deadPort);
    address.setPath(path);
    return address;
}

QStringList OnlineFixture::temporaryTree() const
{
    QStringList paths;
    QDirIterator it(temporary->path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << QDir(temporary->path()).relativeFilePath(it.next());
    paths.sort();
    return paths;
}
