// How vzsim puts its recorder where the host can reach it: behind a bridge
// socket or as a port of the ALSA sequencer.
#ifndef VZSIM_TOOL_TRANSPORT_H
#define VZSIM_TOOL_TRANSPORT_H

#include <string>

#include "vzsim_recorder.h"

namespace vzsimtool
{

class Transport : public vzsim::HostLink
{
public:
    // Makes the recorder reachable; false with the reason in error.
    virtual bool listen(std::string &error) = 0;
    // Serves the host until stop(), then takes the recorder away again.
    virtual void run() = 0;
    // Ends run(). Safe to call from a signal handler.
    virtual void stop() = 0;
};

} // namespace vzsimtool

#endif
