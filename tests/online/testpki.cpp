#include "testpki.h"
#include "updateserver.h"

#include <QFile>
#include <QProcess>
#include <QSslConfiguration>

namespace
{
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TestPki::TestPki()
{
    if (!folder.isValid())
        failure = QStringLiteral("no temporary folder");
    else
        make();
}

bool TestPki::make()
{
    const QString days = QStringLiteral("2");
    return writeText(QStringLiteral("server.ext"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                                   "basicConstraints=CA:FALSE\n"
                                                   "extendedKeyUsage=serverAuth\n") &&
           openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
                    "-days", days, "-subj", "/CN=Veldracorder Test CA", "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext",
                    "keyUsage=critical,keyCertSign,cRLSign"}) &&
           openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                    "-subj", "/CN=127.0.0.1"}) &&
           openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                    "-CAcreateserial", "-out", "server.pem", "-days", days, "-extfile", "server.ext"}) &&
           openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "rogue.key", "-out",
                    "rogue.pem", "-days", days, "-subj", "/CN=127.0.0.1", "-addext",
                    "subjectAltName=IP:127.0.0.1"});
}

bool TestPki::writeText(const QString &name, const QByteArray &text)
{
    QFile file(folder.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        failure = QStringLiteral("cannot write ") + name;
        return false;
    }
    return true;
}

bool TestPki::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        failure = QStringLiteral("openssl %1 failed: %2")
                      .arg(arguments.join(' '), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

QSslCertificate TestPki::certificate(const QString &name) const
{
    return QSslCertificate(readAll(folder.filePath(name)), QSsl::Pem);
}

QSslKey TestPki::key(const QString &name) const
{
    return QSslKey(readAll(folder.filePath(name)), QSsl::Rsa, QSsl::Pem);
}

void TestPki::trustTestCa() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates({certificate(QStringLiteral("ca.pem"))});
    QSslConfiguration::setDefaultConfiguration(configuration);
}

void TestPki::useTrusted(UpdateServer *server) const
{
    server->setTls(certificate(QStringLiteral("server.pem")), key(QStringLiteral("server.key")));
}

void TestPki::useUntrusted(UpdateServer *server) const
{
    server->setTls(certificate(QStringLiteral("rogue.pem")), key(QStringLiteral("rogue.key")));
}
