#include "vzsim_recorder.h"

#include <algorithm>

#include "vzmsg.h"
#include "vzmsg_ctl.h"
#include "vzsim_image_check.h"

namespace vzsim
{

namespace
{

bool isError(uint32_t status)
{
    return status > 99;
}

bool inUpdateMode(uint32_t status)
{
    return status >= VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED && status <= VZMSG_DATA_FWUP_STATUS_COMPLETE;
}

bool receivingData(uint32_t status)
{
    return status == VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY ||
           status == VZMSG_DATA_FWUP_STATUS_DATA_TRANSFERRING;
}

bool isDelivery(FaultKind kind)
{
    switch (kind) {
    case FaultKind::ErrorStatus:
    case FaultKind::DropItem:
    case FaultKind::WrongOffset:
        return false;
    default:
        return true;
    }
}

uint16_t bigEndian16(const uint8_t *bytes)
{
    return uint16_t(bytes[0] << 8 | bytes[1]);
}

} // namespace

// The reply record under construction, with the faults that change items.
class Recorder::Reply
{
public:
    explicit Reply(const std::vector<Fault> &faults)
    {
        vzmsg_init(&msg_, buffer_, sizeof buffer_);
        for (const Fault &fault : faults) {
            if (fault.kind == FaultKind::DropItem)
                dropped_.push_back(fault.item);
            else if (fault.kind == FaultKind::WrongOffset)
                offsetDelta_ += fault.offsetDelta;
        }
    }

    void number(uint8_t code, uint32_t value)
    {
        if (code == VZMSG_DATA_FWUP_RECEIVED)
            value += uint32_t(offsetDelta_);
        if (!isDropped(code))
            vzmsg_add_u32(&msg_, code, value);
    }
    void shortNumber(uint8_t code, uint16_t value)
    {
        if (!isDropped(code))
            vzmsg_add_u16(&msg_, code, value);
    }
    void text(uint8_t code, const std::string &value)
    {
        if (!isDropped(code))
            vzmsg_add_str8(&msg_, code, value.data(), uint8_t(std::min<size_t>(value.size(), 255)));
    }
    void byte(uint8_t code, uint8_t value)
    {
        if (!isDropped(code))
            vzmsg_add_u8(&msg_, code, value);
    }
    void status(uint8_t code, const StatusReport &report) { number(code, report.status); }

    Bytes frame() const { return msg_.position == 0 ? Bytes{} : encodeFrame(buffer_, msg_.position); }

private:
    bool isDropped(uint8_t code) const
    {
        return std::find(dropped_.begin(), dropped_.end(), code) != dropped_.end();
    }

    uint8_t buffer_[kRecordSize] = {};
    vzmsg_t msg_{};
    std::vector<uint8_t> dropped_;
    int32_t offsetDelta_ = 0;
};

Recorder::Recorder(RecorderConfig config)
    : config_(std::move(config)), outbox_([this](const Bytes &frame) { deliver(frame); })
{
    faults_.set(config_.faults);
}

Recorder::~Recorder() = default;

void Recorder::attach(HostLink *link)
{
    std::lock_guard<std::mutex> unplugging(unplugMutex_);
    std::lock_guard<std::mutex> lock(linkMutex_);
    link_ = link;
}

void Recorder::deliver(const Bytes &frame)
{
    std::lock_guard<std::mutex> lock(linkMutex_);
    if (link_)
        link_->sendToHost(frame);
}

void Recorder::unplugLink()
{
    std::lock_guard<std::mutex> unplugging(unplugMutex_);
    HostLink *link;
    {
        // Not held while unplugging: the transport may wait there for other
        // receive calls, which may be delivering replies.
        std::lock_guard<std::mutex> lock(linkMutex_);
        link = link_;
    }
    if (link)
        link->unplug();
}

void Recorder::receiveFromHost(const uint8_t *frame, size_t length)
{
    const auto now = Clock::now();
    bool unplug = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Bytes payload;
        if (!decodeFrame(frame, length, payload)) {
            ++badFrames_;
            return;
        }
        std::vector<Request> items;
        vzmsg_t msg;
        vzmsg_init(&msg, payload.data(), uint16_t(payload.size()));
        Request item{};
        uint32_t code;
        while (vzmsg_get(&msg, &code, &item.type, &item.value, &item.size) == 0) {
            item.code = uint8_t(code);
            items.push_back(item);
        }
        if (items.empty()) {
            ++badFrames_;
            return;
        }

        const uint8_t request = items.front().code;
        ++requests_[request];
        const std::vector<Fault> hits = faults_.hits(request, timeline_.status(now));
        for (const Fault &fault : hits) {
            if (fault.kind == FaultKind::ErrorStatus) {
                const StatusReport last = timeline_.peek(now);
                timeline_.hold(fault.status, last.progress, last.total, now);
                transferOpen_ = false;
                installPending_ = false;
            }
        }
        installWhenComplete(now);
        Reply reply(hits);
        for (const Request &each : items)
            handle(each, reply, now);
        installWhenComplete(now);
        // A reply held back as late goes out before this request's reply.
        outbox_.releaseHeld();
        unplug = sendReply(reply.frame(), hits, now);
    }
    outbox_.pump();
    if (unplug)
        unplugLink();
}

bool Recorder::sendReply(const Bytes &frame, const std::vector<Fault> &faults, Clock::time_point now)
{
    const auto delivery =
        std::find_if(faults.begin(), faults.end(), [](const Fault &fault) { return isDelivery(fault.kind); });
    const auto due = now + config_.timing.latency;

    if (delivery != faults.end() && delivery->kind == FaultKind::Unplug)
        return true;
    if (frame.empty())
        return false; // nothing known was asked: a real recorder stays silent
    if (delivery == faults.end()) {
        outbox_.post(frame, due);
        return false;
    }
    const auto late = std::max(now + delivery->delay, due);
    switch (delivery->kind) {
    case FaultKind::NoReply:
        break;
    case FaultKind::LateReply:
        outbox_.post(frame, late, true);
        break;
    case FaultKind::DuplicateReply:
        outbox_.post(frame, due);
        outbox_.post(frame, late, true);
        break;
    case FaultKind::Garbage:
        outbox_.post(garbageFrame(), due);
        break;
    case FaultKind::Truncated:
        outbox_.post(truncatedFrame(frame), due);
        break;
    case FaultKind::NoEndByte:
        outbox_.post(frameWithoutEnd(frame), due);
        break;
    case FaultKind::Oversized:
        outbox_.post(oversizedFrame(), due);
        break;
    default:
        break;
    }
    return false;
}

void Recorder::handle(const Request &request, Reply &reply, Clock::time_point now)
{
    const Identity &id = config_.identity;
    const auto *bytes = reinterpret_cast<const uint8_t *>(uintptr_t(request.value));
    const bool isString = request.type == VZMSG_TYPE_STR8 || request.type == VZMSG_TYPE_STR16;

    switch (request.code) {
    case VZMSG_DATA_PROTOCOL:
        reply.shortNumber(VZMSG_DATA_PROTOCOL, id.protocolVersion);
        break;
    case VZMSG_DATA_VERSION:
        reply.shortNumber(VZMSG_DATA_VERSION, id.version);
        reply.text(VZMSG_DATA_PRODUCT, id.product);
        reply.text(0x03, id.extra03);
        reply.shortNumber(VZMSG_DATA_BUILD, id.build);
        reply.text(0x05, id.extra05);
        reply.text(0x06, id.extra06);
        break;
    case VZMSG_DATA_BATTERY:
        reply.shortNumber(VZMSG_DATA_BATTERY, id.battery);
        break;
    case VZMSG_DATA_SERIAL:
        reply.text(VZMSG_DATA_SERIAL, id.serial);
        break;
    case VZMSG_DATA_FWUP_STATUS: {
        const StatusReport report = timeline_.poll(now);
        reported_.push_back(report.status);
        reply.number(VZMSG_DATA_FWUP_STATUS, report.status);
        reply.number(VZMSG_DATA_FWUP_PROGRESS, report.progress);
        reply.number(VZMSG_DATA_FWUP_TOTAL, report.total);
        break;
    }
    case VZMSG_DATA_FWUP_MODE:
        enterUpdateMode(now);
        reply.status(VZMSG_DATA_FWUP_MODE, timeline_.peek(now));
        break;
    case VZMSG_DATA_FWUP_SIZE:
        announce(uint32_t(request.value), now);
        reply.status(VZMSG_DATA_FWUP_SIZE, timeline_.peek(now));
        break;
    case VZMSG_DATA_FWUP_DATA: {
        if (isString)
            receiveBlock(bytes, request.size, now);
        else
            answerFreeSpace(now);
        reply.number(VZMSG_DATA_FWUP_RECEIVED, uint32_t(received_.size()));
        reply.number(VZMSG_DATA_FWUP_DATA, offered_);
        break;
    }
    case VZMSG_DATA_FWUP_CHECK:
        startDataCheck(now);
        reply.byte(VZMSG_DATA_FWUP_CHECK, 0);
        break;
    case VZMSG_DATA_FWUP_WRITE:
        startWrite(now);
        reply.status(VZMSG_DATA_FWUP_WRITE, timeline_.peek(now));
        break;
    case VZMSG_DATA_SERIAL_WRITE:
        if (isString)
            writeSerial(bytes, request.size, now);
        else
            ++protocolErrors_;
        reply.status(VZMSG_DATA_SERIAL_WRITE, timeline_.peek(now));
        break;
    default:
        break; // unknown requests go unanswered
    }
}

void Recorder::enterUpdateMode(Clock::time_point now)
{
    if (isError(timeline_.status(now)))
        return; // only switching off and on clears an error
    transferOpen_ = false;
    installPending_ = false;
    if (config_.identity.battery == 0) {
        timeline_.hold(VZMSG_DATA_FWUP_STATUS_ERR_NO_BATTERY, 0, 0, now);
        return;
    }
    timeline_.start({Step{VZMSG_DATA_FWUP_STATUS_NONE, config_.timing.modeChange},
                     Step{VZMSG_DATA_FWUP_STATUS_UPDATE_MODE_CHANGED, Phase{}}},
                    now);
}

void Recorder::announce(uint32_t size, Clock::time_point now)
{
    const uint32_t status = timeline_.status(now);
    if (!inUpdateMode(status)) {
        protocolErrors_ += isError(status) ? 0 : 1;
        return;
    }
    if (size > config_.imageMemory) {
        // Its memory cannot hold the image: refused before any byte comes.
        ++protocolErrors_;
        transferOpen_ = false;
        installPending_ = false;
        timeline_.hold(VZMSG_DATA_FWUP_STATUS_ERROR, 0, size, now);
        return;
    }
    announced_ = size;
    imageChecked_ = false;
    transferOpen_ = true;
    installPending_ = false;
    received_.clear();
    received_.reserve(size);
    blocks_.clear();
    offered_ = 0;
    freeIndex_ = 0;
    timeline_.start({Step{status, config_.timing.transferReady},
                     Step{VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY, Phase{}, 0, size}},
                    now);
}

void Recorder::answerFreeSpace(Clock::time_point now)
{
    const uint32_t status = timeline_.status(now);
    if (!transferOpen_ || !receivingData(status)) {
        protocolErrors_ += isError(status) ? 0 : 1;
        offered_ = 0;
        return;
    }
    offered_ = nextFreeSpace();
}

uint32_t Recorder::nextFreeSpace()
{
    const FreeSpace &space = config_.freeSpace;
    if (freeIndex_ >= space.sequence.size() && space.repeat)
        freeIndex_ = 0;
    if (freeIndex_ < space.sequence.size())
        return space.sequence[freeIndex_++];
    return space.value;
}

void Recorder::receiveBlock(const uint8_t *bytes, uint16_t length, Clock::time_point now)
{
    const uint32_t status = timeline_.status(now);
    if (!transferOpen_ || !receivingData(status)) {
        protocolErrors_ += isError(status) ? 0 : 1;
        offered_ = 0;
        return;
    }
    if (length > offered_ || received_.size() + length > announced_) {
        // More than it said it could take: a real recorder's buffer overflows.
        ++protocolErrors_;
        offered_ = 0;
        transferOpen_ = false;
        timeline_.hold(VZMSG_DATA_FWUP_STATUS_ERR_COMMUNICATE, uint32_t(received_.size()), announced_, now);
        return;
    }
    received_.insert(received_.end(), bytes, bytes + length);
    blocks_.push_back(length);
    offered_ -= length;
    const uint32_t received = uint32_t(received_.size());
    timeline_.hold(received == announced_ ? VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE
                                          : VZMSG_DATA_FWUP_STATUS_DATA_TRANSFERRING,
                   received, announced_, now);
}

void Recorder::startDataCheck(Clock::time_point now)
{
    const StatusReport before = timeline_.peek(now);
    if (!transferOpen_ || before.status < VZMSG_DATA_FWUP_STATUS_DATA_TRANS_READY ||
        before.status > VZMSG_DATA_FWUP_STATUS_DATA_TRANS_COMPLETE) {
        protocolErrors_ += isError(before.status) ? 0 : 1;
        return;
    }
    transferOpen_ = false;
    const uint32_t verdict = checkImage(received_, announced_, config_.imageProduct);
    imageChecked_ = verdict == VZMSG_DATA_FWUP_STATUS_WRITE_READY;
    timeline_.start({Step{before.status, config_.timing.dataCheck, before.progress, before.total},
                     Step{verdict, Phase{}, before.progress, before.total}},
                    now);
}

void Recorder::startWrite(Clock::time_point now)
{
    const uint32_t status = timeline_.status(now);
    if (status != VZMSG_DATA_FWUP_STATUS_WRITE_READY) {
        protocolErrors_ += isError(status) ? 0 : 1;
        return;
    }
    // Status 5 alone does not mean a checked image is there (an injected
    // status can say so): flash is only written from an image that checked.
    if (!imageChecked_) {
        ++protocolErrors_;
        timeline_.hold(VZMSG_DATA_FWUP_STATUS_ERR_SUMCHK, uint32_t(received_.size()), announced_, now);
        return;
    }
    const Timing &timing = config_.timing;
    const uint32_t size = announced_;
    timeline_.start({Step{VZMSG_DATA_FWUP_STATUS_WRITE_READY, timing.writeStart, size, size},
                     Step{VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE, timing.erase, size, size, true},
                     Step{VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK, timing.blankCheck, size, size, true},
                     Step{VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE, timing.write, size, size, true},
                     Step{VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE, timing.compare, size, size, true},
                     Step{VZMSG_DATA_FWUP_STATUS_COMPLETE, Phase{}, size, size}},
                    now);
    // The checked image's header tells what the recorder runs afterwards.
    installPending_ = true;
    newVersion_ = bigEndian16(received_.data() + 8);
    newBuild_ = bigEndian16(received_.data() + 10);
}

void Recorder::writeSerial(const uint8_t *bytes, uint16_t length, Clock::time_point now)
{
    const uint32_t status = timeline_.status(now);
    if (inUpdateMode(status) || isError(status)) {
        protocolErrors_ += isError(status) ? 0 : 1;
        return;
    }
    config_.identity.serial.assign(reinterpret_cast<const char *>(bytes), length);
    timeline_.start({Step{VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_START, config_.timing.serialWrite},
                     Step{VZMSG_DATA_FWUP_STATUS_SERIAL_WRITE_COMPLETE, Phase{}}},
                    now);
}

void Recorder::installWhenComplete(Clock::time_point now)
{
    if (!installPending_ || timeline_.status(now) != VZMSG_DATA_FWUP_STATUS_COMPLETE)
        return;
    installPending_ = false;
    config_.identity.version = newVersion_;
    config_.identity.build = newBuild_;
}

RecorderConfig Recorder::config() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return config_;
}

void Recorder::setIdentity(const Identity &identity)
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.identity = identity;
}

void Recorder::setFreeSpace(const FreeSpace &freeSpace)
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.freeSpace = freeSpace;
    freeIndex_ = 0;
}

void Recorder::setTiming(const Timing &timing)
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.timing = timing;
}

void Recorder::addFault(const Fault &fault)
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.faults.push_back(fault);
    faults_.add(fault);
}

void Recorder::clearFaults()
{
    std::lock_guard<std::mutex> lock(mutex_);
    config_.faults.clear();
    faults_.set({});
}

void Recorder::powerCycle()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        timeline_.hold(VZMSG_DATA_FWUP_STATUS_NONE, 0, 0, Clock::now());
        transferOpen_ = false;
        installPending_ = false;
        offered_ = 0;
    }
    outbox_.clear();
}

std::vector<uint8_t> Recorder::receivedImage() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

uint32_t Recorder::announcedSize() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return announced_;
}

std::vector<uint16_t> Recorder::blockSizes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return blocks_;
}

uint32_t Recorder::status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return timeline_.status(Clock::now());
}

std::vector<uint32_t> Recorder::reportedStatuses() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return reported_;
}

uint64_t Recorder::requestCount(uint8_t code) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_[code];
}

uint64_t Recorder::protocolErrors() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return protocolErrors_;
}

uint64_t Recorder::badFrames() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return badFrames_;
}

bool Recorder::waitRepliesDelivered(Milliseconds timeout)
{
    return outbox_.waitDelivered(timeout);
}

} // namespace vzsim
