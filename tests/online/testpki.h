// Certificates for the tests' local HTTPS servers, made fresh for each run
// with the openssl command: a test CA, a server certificate for 127.0.0.1
// signed by it, and a self-signed one that no client should trust.
#ifndef TESTPKI_H
#define TESTPKI_H

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

class UpdateServer;

class TestPki
{
public:
    // Empty error() when every file was made.
    TestPki();
    QString error() const { return failure; }

    // Trusts the test CA, and nothing else, in this process only.
    void trustTestCa() const;
    // Gives the server the CA-signed certificate, or the untrusted one.
    void useTrusted(UpdateServer *server) const;
    void useUntrusted(UpdateServer *server) const;

    QString caPath() const { return folder.filePath(QStringLiteral("ca.pem")); }
    QString certificatePath() const { return folder.filePath(QStringLiteral("server.pem")); }
    QString keyPath() const { return folder.filePath(QStringLiteral("server.key")); }

private:
    bool make();
    bool openssl(const QStringList &arguments);
    bool writeText(const QString &name, const QByteArray &text);
    QSslCertificate certificate(const QString &name) const;
    QSslKey key(const QString &name) const;

    QTemporaryDir folder;
    QString failure;
};

#endif
