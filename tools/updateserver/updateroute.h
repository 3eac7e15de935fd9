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
    // connection is then held open without another byte, until the server
    // drops its connections.
    qint64 stallAfter = -1;
    // When positive, the body goes out in slices of this many bytes, one
    // every trickleMs milliseconds, as over a slow line.
    int trickleBytes = 0;
    int trickleMs = 20;
};

#endif
