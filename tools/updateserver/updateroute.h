// What the local update server answers for one path.
#ifndef UPDATEROUTE_H
#define UPDATEROUTE_H

#include <QByteArray>

struct UpdateRoute {
    int status = 200;
    QByteArray body;
    // Sent as the Location header (redirect statuses).
    QByteArray location;
    // false: no Content-Length; the body ends when the connection closes.
    bool announceLength = true;
    // When not negative, announced as the Content-Length instead of the body's size.
    qint64 announcedLength = -1;
    // When not negative, only this many body bytes are sent and the
    // connection is then held open without another byte.
    qint64 stallAfter = -1;
};

#endif
