// What the simulated recorder is and how it behaves: identity, free-space
// answers, timing of each update phase, and the faults it injects.
#ifndef VZSIM_CONFIG_H
#define VZSIM_CONFIG_H

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vzsim
{

using Milliseconds = std::chrono::milliseconds;
using Microseconds = std::chrono::microseconds;

// What the recorder reports about itself.
struct Identity {
    uint16_t protocolVersion = 1;          // item 0x50; the host accepts only 1
    uint16_t version = 98;                 // item 0x01, in hundredths (98 is 0.98)
    uint16_t build = 35;                   // item 0x04
    std::string product = "Q7";            // item 0x02, the model text
    std::string extra03 = "VQ7-MAIN-REV2"; // items 0x03, 0x05, 0x06: sent, never used by the host
    std::string extra05 = "DSP 2.1";
    std::string extra06 = "BOOT 1.4";
    std::string serial = "VQ7-000123"; // item 0x07
    uint16_t battery = 3;              // item 0x08; 0 means no usable battery
};

// The answers to the host's "how much can you take now?" question (0x59
// without data): first the sequence, one value per question, then `value`
// for ever (or the sequence again when `repeat` is set).
struct FreeSpace {
    std::vector<uint32_t> sequence;
    bool repeat = false;
    uint32_t value = 4096;

    static FreeSpace fixed(uint32_t bytes);
    // `times` zero answers, then `bytes` for ever.
    static FreeSpace zeroThen(unsigned times, uint32_t bytes);
};

// How long the recorder stays in one status before moving on. The status
// is reported to `polls` status requests, and at least `time` passes; both
// must be met (0 means "no condition"). Poll-counted phases make a run
// independent of the host's sleeps, which tests shorten.
struct Phase {
    unsigned polls = 0;
    Milliseconds time{0};
};

struct Timing {
    Microseconds latency{0}; // from a request's arrival to its reply
    Phase modeChange;        // after 0x51, until status 1
    Phase transferReady;     // after 0x52, until status 2
    Phase dataCheck{1};      // after 0x53, until status 5 (or the check's error)
    Phase writeStart;        // after 0x54, still in status 5 before erasing
    Phase erase{2};          // status 6
    Phase blankCheck{2};     // status 7
    Phase write{2};          // status 8
    Phase compare{2};        // status 9
    Phase serialWrite{1};    // status 11, after 0x5A, until status 12
};

enum class FaultKind {
    ErrorStatus,    // the recorder enters error `status` and stays there until powerCycle()
    NoReply,        // the request is not answered
    LateReply,      // the reply comes after `delay`, or just before the next reply if that is sooner
    DuplicateReply, // the reply comes, and a copy of it later as a late reply
    Garbage,        // a SysEx with a foreign header comes instead of the reply
    Truncated,      // the reply's frame with half of its data bytes (end byte kept)
    NoEndByte,      // the reply's frame without its final F7
    Oversized,      // a well-formed SysEx longer than the host's 2048-byte input buffer
    Unplug,         // no reply: the ports vanish, as when the cable is pulled
    DropItem,       // the reply without item `item`
    WrongOffset,    // item 0x58 of the reply off by `offsetDelta`
};

// One injected fault. It watches the requests that match `request` (the
// code of the request's first item; any when unset) and `whileStatus` (the
// recorder's status when the request arrives; any when unset), and hits the
// `occurrence`-th match and the `count` - 1 matches after it (every match
// from there on when `count` is 0).
struct Fault {
    FaultKind kind;
    std::optional<uint8_t> request;
    std::optional<uint32_t> whileStatus;
    unsigned occurrence = 1;
    unsigned count = 1;
    uint32_t status = 100;    // ErrorStatus: the error the recorder reports
    uint8_t item = 0;         // DropItem: the item left out
    int32_t offsetDelta = 1;  // WrongOffset: added to the received count
    Milliseconds delay{1000}; // LateReply, DuplicateReply: the latest time the (copy of the) reply comes

    explicit Fault(FaultKind kind) : kind(kind) {}
    Fault &on(uint8_t requestCode);
    Fault &inStatus(uint32_t recorderStatus);
    Fault &at(unsigned nth);
    Fault &times(unsigned n); // 0: every match from `occurrence` on
    Fault &always() { return times(0); }

    // ErrorStatus on the given request.
    static Fault error(uint8_t requestCode, uint32_t errorStatus);
};

struct RecorderConfig {
    Identity identity;
    FreeSpace freeSpace;
    Timing timing;
    std::string imageProduct = "VELDR-Q7"; // product code a received image must carry
    uint32_t imageMemory = 32u << 20;      // the largest image it has room for, in bytes
    std::vector<Fault> faults;
};

} // namespace vzsim

#endif
