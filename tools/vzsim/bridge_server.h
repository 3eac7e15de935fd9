// The listening end of a recorder bridge socket with a simulated recorder
// behind it: every connection first gets the port name, then each message
// from the host goes to the recorder, and its replies go back on the
// connection that sent the last request.
#ifndef VZSIM_TOOL_BRIDGE_SERVER_H
#define VZSIM_TOOL_BRIDGE_SERVER_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend_bridge_framing.h"
#include "sim_options.h"
#include "vzsim_recorder.h"

namespace vzsimtool
{

class BridgeServer : public vzsim::HostLink
{
public:
    // Attaches to the recorder; destroy the server before the recorder.
    BridgeServer(vzsim::Recorder &recorder, const Options &options);
    ~BridgeServer() override;
    BridgeServer(const BridgeServer &) = delete;
    BridgeServer &operator=(const BridgeServer &) = delete;

    // Binds and listens on the socket path; false with the reason in error.
    bool listen(std::string &error);
    // Serves connections until stop(); removes the socket before it returns.
    void run();
    // Ends run(). Safe to call from a signal handler.
    void stop();

    // Recorder side.
    void sendToHost(const vzsim::Bytes &frame) override;
    void unplug() override;

private:
    struct Connection {
        int fd;
        vzmidi::bridge::MessageReader reader;
    };
    using Clock = std::chrono::steady_clock;

    void print(const std::string &line);
    void accept();
    // False when the connection has ended.
    bool serve(Connection &connection);
    void handleRequest(int fd, const uint8_t *bytes, size_t length);
    void close(Connection &connection);
    void closeListener();
    void drainWakeups(bool &stopping, bool &unplugging);
    int pollTimeoutMs() const;

    vzsim::Recorder &recorder_;
    const Options options_;
    int listenFd_ = -1;
    bool bound_ = false; // the socket file is ours to remove
    int wake_[2] = {-1, -1};
    std::vector<std::unique_ptr<Connection>> connections_;
    bool replugPending_ = false;
    Clock::time_point replugAt_{};
    uint16_t version_ = 0; // of the firmware last reported
    uint16_t build_ = 0;

    std::mutex mutex_; // guards the two below
    int replyFd_ = -1; // the connection of the last request
    bool unplugged_ = false;
    std::mutex printMutex_; // one line at a time
};

} // namespace vzsimtool

#endif
