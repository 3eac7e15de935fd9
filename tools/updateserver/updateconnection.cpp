#include "updateconnection.h"
#include "updateserver.h"

#include <QSslSocket>
#include <QTimer>
#include <QUrl>

namespace
{
// A GET from our client is a few hundred bytes; anything longer is not one.
constexpr int maxRequestBytes = 16 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}
} // namespace

UpdateConnection::UpdateConnection(QSslSocket *socket, const UpdateServer *server)
    : QObject(socket), socket(socket), server(server)
{
    connect(socket, &QSslSocket::readyRead, this, &UpdateConnection::readRequest);
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QAbstractSocket::errorOccurred, socket, &QObject::deleteLater);
}

void UpdateConnection::readRequest()
{
    if (answered) {
        socket->readAll();
        return;
    }
    received += socket->readAll();
    int end = received.indexOf("\r\n\r\n");
    if (end < 0) {
        if (received.size() > maxRequestBytes) {
            socket->abort();
        }
        return;
    }
    const QList<QByteArray> words = received.left(received.indexOf("\r\n")).split(' ');
    if (words.size() != 3 || words.at(0) != "GET") {
        socket->abort();
        return;
    }
    answered = true;
    answer(QUrl::fromEncoded(words.at(1)).path());
}

QByteArray UpdateConnection::head(const UpdateRoute &route)
{
    QByteArray text =
        "HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reasonPhrase(route.status) + "\r\n";
    text += "Connection: close\r\n";
    text += "Content-Type: application/octet-stream\r\n";
    if (!route.location.isEmpty()) {
        text += "Location: " + route.location + "\r\n";
    }
    if (route.announceLength) {
        qint64 length = route.announcedLength >= 0 ? route.announcedLength : route.body.size();
        text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    }
    return text + "\r\n";
}

void UpdateConnection::answer(const QString &path)
{
    const UpdateRoute route = server->route(path);
    emit requested(path);
    socket->write(head(route));
    if (route.stallAfter >= 0) {
        socket->write(route.body.left(int(route.stallAfter)));
        return;
    }
    if (route.trickleBytes <= 0) {
        socket->write(route.body);
        socket->disconnectFromHost();
        return;
    }
    pending = route.body;
    sliceBytes = route.trickleBytes;
    pacing = new QTimer(this);
    connect(pacing, &QTimer::timeout, this, &UpdateConnection::sendSlice);
    pacing->start(route.trickleMs);
    sendSlice();
}

void UpdateConnection::sendSlice()
{
    socket->write(pending.left(sliceBytes));
    pending.remove(0, sliceBytes);
    if (pending.isEmpty()) {
        pacing->stop();
        socket->disconnectFromHost();
    }
}
