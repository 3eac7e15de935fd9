// One client of the local update server: reads one GET request and sends
// the answer its route describes, then closes (or stalls, if told to).
#ifndef UPDATECONNECTION_H
#define UPDATECONNECTION_H

#include <QObject>

class QTimer;

class QSslSocket;
class UpdateServer;
struct UpdateRoute;

class UpdateConnection : public QObject
{
    Q_OBJECT
public:
    // Becomes a child of socket; both go when the client disconnects.
    UpdateConnection(QSslSocket *socket, const UpdateServer *server);

signals:
    void requested(const QString &path);

private:
    void readRequest();
    void answer(const QString &path);
    void sendSlice();
    static QByteArray head(const UpdateRoute &route);

    QSslSocket *socket;
    const UpdateServer *server;
    QByteArray received;
    bool answered = false;
    QByteArray pending;
    int sliceBytes = 0;
    QTimer *pacing = nullptr;
};

#endif
