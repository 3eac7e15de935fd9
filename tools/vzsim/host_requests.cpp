#include "host_requests.h"

#include <cstdio>

#include "frame_text.h"

namespace vzsimtool
{

namespace
{

std::string versionText(uint16_t hundredths)
{
    char text[16];
    std::snprintf(text, sizeof text, "%u.%02u", hundredths / 100u, hundredths % 100u);
    return text;
}

} // namespace

HostRequests::HostRequests(vzsim::Recorder &recorder, bool verbose) : recorder_(recorder), verbose_(verbose)
{
    const vzsim::Identity identity = recorder_.config().identity;
    version_ = identity.version;
    build_ = identity.build;
}

void HostRequests::print(const std::string &line)
{
    std::lock_guard<std::mutex> lock(printMutex_);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void HostRequests::showReply(const vzsim::Bytes &frame)
{
    if (verbose_)
        print(replyText(frame.data(), frame.size()));
}

void HostRequests::handle(const uint8_t *bytes, size_t length)
{
    if (verbose_)
        print(requestText(bytes, length));
    recorder_.receiveFromHost(bytes, length);

    const vzsim::Identity identity = recorder_.config().identity;
    if (identity.version != version_ || identity.build != build_) {
        version_ = identity.version;
        build_ = identity.build;
        print("vzsim: firmware written, now version " + versionText(version_) + " build " +
              std::to_string(build_));
    }
}

} // namespace vzsimtool
