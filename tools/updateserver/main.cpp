// updateserver: serves files on 127.0.0.1 as the maker's update server
// would, for the demo. Every "@BASE_URL@" in a served file becomes the
// server's own address, so a document can name the files next to it.
#include "updateserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <cstdio>

namespace
{
bool readFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    *bytes = file.readAll();
    return true;
}

bool setUpTls(UpdateServer *server, const QString &certificatePath, const QString &keyPath)
{
    QByteArray certificate, key;
    if (!readFile(certificatePath, &certificate) || !readFile(keyPath, &key)) {
        return false;
    }
    QSslCertificate parsedCertificate(certificate, QSsl::Pem);
    QSslKey parsedKey(key, QSsl::Rsa, QSsl::Pem);
    if (parsedCertificate.isNull() || parsedKey.isNull()) {
        return false;
    }
    server->setTls(parsedCertificate, parsedKey);
    return true;
}

bool addRoutes(UpdateServer *server, const QStringList &specs)
{
    const QByteArray base = server->baseUrl().toEncoded();
    for (const QString &spec : specs) {
        const int equals = spec.indexOf('=');
        UpdateRoute route;
        if (equals <= 0 || !spec.startsWith('/') || !readFile(spec.mid(equals + 1), &route.body)) {
            std::fprintf(stderr, "updateserver: cannot serve %s\n", qPrintable(spec));
            return false;
        }
        route.body.replace("@BASE_URL@", base);
        server->setRoute(spec.left(equals), route);
    }
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Serves files on 127.0.0.1 over HTTP, or HTTPS with --cert and --key.");
    parser.addHelpOption();
    QCommandLineOption port("port", "Port to listen on (0: any free port).", "port", "0");
    QCommandLineOption certificate("cert", "PEM certificate for HTTPS.", "file");
    QCommandLineOption key("key", "PEM RSA key for HTTPS.", "file");
    QCommandLineOption serve("serve", "Serve a file at a path (repeatable).", "/path=file");
    parser.addOptions({port, certificate, key, serve});
    parser.process(app);

    UpdateServer server;
    if (parser.isSet(certificate) != parser.isSet(key) ||
        (parser.isSet(certificate) && !setUpTls(&server, parser.value(certificate), parser.value(key)))) {
        std::fprintf(stderr, "updateserver: --cert and --key need a readable PEM certificate and RSA key\n");
        return 1;
    }
    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535 || !server.start(quint16(portNumber))) {
        std::fprintf(stderr, "updateserver: cannot listen on 127.0.0.1 port %s\n",
                     qPrintable(parser.value(port)));
        return 1;
    }
    if (!addRoutes(&server, parser.values(serve))) {
        return 1;
    }
    std::printf("listening %s\n", server.baseUrl().toEncoded().constData());
    std::fflush(stdout);
    return app.exec();
}
