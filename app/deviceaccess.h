/* The recorder's queries, off the GUI thread: the one-second poll and the
 * recorder half of the start checks run here, on a thread of their own, one
 * at a time, and each hands back a plain record by a queued signal. */
#ifndef DEVICEACCESS_H
#define DEVICEACCESS_H

#include <QMetaType>
#include <QObject>
#include <QString>

#include <string>

class VzDevice;

/* What one poll learnt about the recorder. */
struct RecorderPoll {
    enum Outcome {
        Unanswered, /* no port, or a later query failed: nothing to show */
        Lost,       /* the port opened but the recorder did not answer; it was closed */
        Answered,
    };
    Outcome outcome = Unanswered;
    QString serial;
    quint16 battery = 0;
    quint16 version = 0;
    quint16 build = 0;
};

/* What the start checks learnt about the recorder. */
struct RecorderCheck {
    const char *failure = nullptr; /* the log line of the first check that failed */
    bool noBattery = false;
    std::string product;
    quint16 version = 0;
    quint16 build = 0;
};

Q_DECLARE_METATYPE(RecorderPoll)
Q_DECLARE_METATYPE(RecorderCheck)

class DeviceAccess : public QObject
{
    Q_OBJECT
public:
    explicit DeviceAccess(VzDevice &device);

public slots:
    void poll();
    void checkRecorder();

signals:
    void polled(RecorderPoll poll);
    void checked(RecorderCheck check);

private:
    VzDevice &vz;
};

#endif
