// The simulated Veldracorder Q7, independent of how frames reach it: the
// transport hands it each frame from the host and gives it a HostLink to
// answer through. Thread-safe; every method may be called from any thread.
#ifndef VZSIM_RECORDER_H
#define VZSIM_RECORDER_H

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "vzsim_config.h"
#include "vzsim_faults.h"
#include "vzsim_frames.h"
#include "vzsim_outbox.h"
#include "vzsim_timeline.h"

namespace vzsim
{

// The transport's side, implemented by whatever carries the frames.
class HostLink
{
public:
    virtual ~HostLink() = default;
    // One whole frame (a SysEx message) to the host. Called from inside
    // Recorder::receiveFromHost() for replies due at once, otherwise on the
    // recorder's own thread; never two at a time.
    virtual void sendToHost(const Bytes &frame) = 0;
    // The recorder vanishes (fault Unplug): called from inside
    // Recorder::receiveFromHost(), on the transport's thread, so that the
    // request that pulls the cable is the last one to arrive.
    virtual void unplug() = 0;
};

class Recorder
{
public:
    explicit Recorder(RecorderConfig config = {});
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // --- transport side
    // Sets the link replies go to (null: none). Waits for a delivery or an
    // unplugging in progress to finish.
    void attach(HostLink *link);
    // One whole frame from the host.
    void receiveFromHost(const uint8_t *frame, size_t length);

    // --- configuration while running
    RecorderConfig config() const;
    void setIdentity(const Identity &identity);
    void setFreeSpace(const FreeSpace &freeSpace);
    void setTiming(const Timing &timing);
    void addFault(const Fault &fault);
    void clearFaults();
    // Switched off and on: leaves update mode and forgets any error, keeps
    // the received bytes for inspection and forgets queued replies.
    void powerCycle();

    // --- inspection
    // The bytes received since the last size announcement (0x52).
    std::vector<uint8_t> receivedImage() const;
    uint32_t announcedSize() const;
    // The length of each data block received, in order.
    std::vector<uint16_t> blockSizes() const;
    uint32_t status() const;
    // Every status sent in reply to a status request (0x55), in order.
    std::vector<uint32_t> reportedStatuses() const;
    // Requests received, by the code of their first item.
    uint64_t requestCount(uint8_t code) const;
    // Well-formed requests that made no sense in the recorder's state (a
    // block before the size, a block larger than the free space offered,
    // a write before a good data check...). A correct host causes none.
    uint64_t protocolErrors() const;
    // Frames from the host that were not a record of ours.
    uint64_t badFrames() const;
    // Waits until every reply due by now has reached the link (late replies
    // still held back are not waited for); false on timeout.
    bool waitRepliesDelivered(Milliseconds timeout);

private:
    struct Request {
        uint8_t code;
        uint32_t type;
        uint64_t value;
        uint16_t size;
    };
    class Reply;

    void handle(const Request &request, Reply &reply, Clock::time_point now);
    void enterUpdateMode(Clock::time_point now);
    void announce(uint32_t size, Clock::time_point now);
    void answerFreeSpace(Clock::time_point now);
    void receiveBlock(const uint8_t *bytes, uint16_t length, Clock::time_point now);
    void startDataCheck(Clock::time_point now);
    void startWrite(Clock::time_point now);
    void writeSerial(const uint8_t *bytes, uint16_t length, Clock::time_point now);
    void installWhenComplete(Clock::time_point now);
    uint32_t nextFreeSpace();
    // Queues the reply as the faults have it; answers whether to unplug.
    bool sendReply(const Bytes &frame, const std::vector<Fault> &faults, Clock::time_point now);
    void deliver(const Bytes &frame);
    void unplugLink();

    mutable std::mutex mutex_; // guards the state below
    RecorderConfig config_;
    FaultPlan faults_;
    mutable Timeline timeline_; // reading it moves time-driven phases on
    std::vector<uint8_t> received_;
    uint32_t announced_ = 0;
    bool transferOpen_ = false;
    bool imageChecked_ = false; // the received image passed the data check
    std::vector<uint16_t> blocks_;
    uint32_t offered_ = 0; // free space left of the last answer
    size_t freeIndex_ = 0;
    bool installPending_ = false;
    uint16_t newVersion_ = 0;
    uint16_t newBuild_ = 0;
    std::vector<uint32_t> reported_;
    std::array<uint64_t, 256> requests_{};
    uint64_t protocolErrors_ = 0;
    uint64_t badFrames_ = 0;

    std::mutex unplugMutex_; // taken before linkMutex_
    std::mutex linkMutex_;
    HostLink *link_ = nullptr;

    Outbox outbox_; // last: its thread stops first
};

} // namespace vzsim

#endif
