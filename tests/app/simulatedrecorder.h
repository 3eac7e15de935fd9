// A simulated recorder behind the virtual "Q7 CONTROL" port pair.
#ifndef SIMULATEDRECORDER_H
#define SIMULATEDRECORDER_H

#include "vzsim.h"

struct SimulatedRecorder {
    explicit SimulatedRecorder(const vzsim::RecorderConfig &config = {}, bool plugged = true)
        : recorder(config), port(recorder, "Q7 CONTROL", plugged)
    {
    }
    vzsim::Recorder recorder;
    vzsim::VirtualPort port; // declared last: it goes before the recorder
};

inline vzsim::RecorderConfig recorderConfig(uint16_t version, uint16_t build, uint16_t battery = 3)
{
    vzsim::RecorderConfig config;
    config.identity.version = version;
    config.identity.build = build;
    config.identity.battery = battery;
    return config;
}

#endif
