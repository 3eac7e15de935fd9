// What every transport of vzsim does with a request from the host: shows
// it when asked to, hands it to the recorder, and tells when a written
// firmware has changed the recorder's version.
#ifndef VZSIM_TOOL_HOST_REQUESTS_H
#define VZSIM_TOOL_HOST_REQUESTS_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "vzsim_recorder.h"

namespace vzsimtool
{

class HostRequests
{
public:
    HostRequests(vzsim::Recorder &recorder, bool verbose);

    // One whole frame from the host; call from one thread at a time.
    void handle(const uint8_t *bytes, size_t length);
    // A reply about to leave, shown when verbose.
    void showReply(const vzsim::Bytes &frame);
    // One line on standard output, whole; from any thread.
    void print(const std::string &line);

private:
    vzsim::Recorder &recorder_;
    const bool verbose_;
    uint16_t version_ = 0; // of the firmware last reported
    uint16_t build_ = 0;
    std::mutex printMutex_;
};

} // namespace vzsimtool

#endif
