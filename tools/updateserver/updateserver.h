// A small HTTP/HTTPS server on the loopback interface that plays the
// maker's update server: fixed answers per path, for tests and the demo.
#ifndef UPDATESERVER_H
#define UPDATESERVER_H

#include "updateroute.h"

#include <QHash>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QUrl>

class UpdateServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit UpdateServer(QObject *parent = nullptr);

    // With a certificate and key every connection is TLS; without, plain HTTP.
    void setTls(const QSslCertificate &certificate, const QSslKey &key);
    // Listens on 127.0.0.1 only; port 0 picks a free one.
    bool start(quint16 port = 0);
    // "https://127.0.0.1:<port>" (or "http://..."), no trailing slash.
    QUrl baseUrl() const;

    void setRoute(const QString &path, const UpdateRoute &route);
    void clearRoutes();
    // Unknown paths are answered with 404.
    UpdateRoute route(const QString &path) const;
    int requestCount(const QString &path) const;
    // Drops every open connection, stalled ones included.
    void closeConnections();

signals:
    void requestReceived(const QString &path);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void countRequest(const QString &path);

    QSslCertificate certificate;
    QSslKey key;
    QHash<QString, UpdateRoute> routes;
    QHash<QString, int> counts;
};

#endif
