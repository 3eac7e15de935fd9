// The listening end of a recorder bridge socket with a simulated recorder
// behind it: every connection first gets the port name, then each message
// from the host goes to the recorder, and its replies go back on the
// connection that sent the last request.
#ifndef VZSIM_TOOL_BRIDGE_SERVER_H
#define VZSIM_TOOL_BRIDGE_SERVER_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "backend_bridge_framing.h"
#include "transport.h"
#include "vzsim_recorder.h"

namespace vzsimtool
{

class BridgeServer : public Transport
{
public:
    // Attaches to the recorder; destroy the server before the recorder.
    BridgeServer(vzsim::Recorder &recorder, const Options &options);
    ~BridgeServer() override;
    BridgeServer(const BridgeServer &) = delete;
    BridgeServer &operator=(const BridgeServer &) = delete;

    // Binds and listens on the socket path; false with the reason in error.
    bool listen(std::string &error) override;
    // Serves connections until stop(); removes the socket before it returns.
    void run() override;
    void stop() override;

    // Recorder side.
    void sendToHost(const vzsim::Bytes &frame) override;
    void unplug() override;

private:
    struct Connection {
        int fd;
        vzmidi::bridge::MessageReader reader;
    };
    void accept();
    // False when the connection has ended.
    bool serve(Connection &connection);
    void handleRequest(int fd, const uint8_t *bytes, size_t length);
    void close(Connection &connection);
    void closeListener();

    int listenFd_ = -1;
    bool bound_ = false; // the socket file is ours to remove
    std::vector<std::unique_ptr<Connection>> connections_;

    std::mutex mutex_; // guards the two below
    int replyFd_ = -1; // the connection of the last request
    bool unplugged_ = false;
};

} // namespace vzsimtool

#endif
