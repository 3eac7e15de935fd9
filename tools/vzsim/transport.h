// How vzsim puts its recorder where the host can reach it: behind a bridge
// socket or as a port of the ALSA sequencer.
#ifndef VZSIM_TOOL_TRANSPORT_H
#define VZSIM_TOOL_TRANSPORT_H

#include <string>

#include "host_requests.h"
#include "run_control.h"
#include "sim_options.h"
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

protected:
    // What every way shares. Each server attaches itself to the recorder and
    // detaches first thing in its destructor, before its own parts go.
    Transport(vzsim::Recorder &recorder, const Options &options)
        : recorder_(recorder), options_(options), requests_(recorder, options.verbose),
          control_(options.replugAfterMs)
    {
    }

    vzsim::Recorder &recorder_;
    const Options options_;
    HostRequests requests_;
    RunControl control_;
};

} // namespace vzsimtool

#endif
