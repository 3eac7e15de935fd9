// A simulated recorder behind the virtual "Q7 CONTROL" port pair.
#ifndef SIMULATEDRECORDER_H
#define SIMULATEDRECORDER_H

#include <QByteArray>

#include "vzsim.h"

struct SimulatedRecorder {
    SimulatedRecorder(uint16_t version, uint16_t build, uint16_t battery = 3)
    {
        changeIdentity([&](vzsim::Identity &id) {
            id.version = version;
            id.build = build;
            id.battery = battery;
        });
    }
    // Changes what the recorder reports about itself from now on.
    template <typename Change> void changeIdentity(Change change)
    {
        vzsim::Identity identity = recorder.config().identity;
        change(identity);
        recorder.setIdentity(identity);
    }
    QByteArray receivedImage() const
    {
        const std::vector<uint8_t> bytes = recorder.receivedImage();
        return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
    }
    vzsim::Recorder recorder;
    vzsim::VirtualPort port{recorder}; // declared last: it goes before the recorder
};

#endif
