#include "updateserver.h"
#include "updateconnection.h"

#include <QSslSocket>

UpdateServer::UpdateServer(QObject *parent) : QTcpServer(parent) {}

void UpdateServer::setTls(const QSslCertificate &certificate, const QSslKey &key)
{
    this->certificate = certificate;
    this->key = key;
}

bool UpdateServer::start(quint16 port)
{
    return listen(QHostAddress::LocalHost, port);
}

QUrl UpdateServer::baseUrl() const
{
    QUrl url;
    url.setScheme(certificate.isNull() ? QStringLiteral("http") : QStringLiteral("https"));
    url.setHost(serverAddress().toString());
    url.setPort(serverPort());
    return url;
}

void UpdateServer::setRoute(const QString &path, const UpdateRoute &route)
{
    routes.insert(path, route);
}

void UpdateServer::clearRoutes()
{
    routes.clear();
    counts.clear();
}

UpdateRoute UpdateServer::route(const QString &path) const
{
    UpdateRoute notFound;
    notFound.status = 404;
    notFound.body = QByteArrayLiteral("not found\n");
    return routes.value(path, notFound);
}

int UpdateServer::requestCount(const QString &path) const
{
    return counts.value(path, 0);
}

void UpdateServer::closeConnections()
{
    for (QSslSocket *socket : findChildren<QSslSocket *>(QString(), Qt::FindDirectChildrenOnly))
        socket->abort();
}

void UpdateServer::countRequest(const QString &path)
{
    counts[path] += 1;
    emit requestReceived(path);
}

void UpdateServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    auto *connection = new UpdateConnection(socket, this);
    connect(connection, &UpdateConnection::requested, this, &UpdateServer::countRequest);
    if (!certificate.isNull()) {
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(key);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        socket->startServerEncryption();
    }
}
