#include "option_values.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace vzsimtool
{

namespace
{

constexpr double kMaxDurationMs = 60000;
// Statuses above it are errors.
constexpr uint64_t kLastStatus = 99;

struct PhaseName {
    const char *name;
    vzsim::Phase vzsim::Timing::*phase;
};

const PhaseName kPhases[] = {
    {"mode-change", &vzsim::Timing::modeChange},
    {"transfer-ready", &vzsim::Timing::transferReady},
    {"data-check", &vzsim::Timing::dataCheck},
    {"write-start", &vzsim::Timing::writeStart},
    {"erase", &vzsim::Timing::erase},
    {"blank-check", &vzsim::Timing::blankCheck},
    {"write", &vzsim::Timing::write},
    {"compare", &vzsim::Timing::compare},
    {"serial-write", &vzsim::Timing::serialWrite},
};

std::vector<std::string> split(const std::string &text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

// Splits "key=value"; value is empty without "=".
void splitPair(const std::string &text, std::string &key, std::string &value)
{
    const size_t equals = text.find('=');
    key = text.substr(0, equals);
    value = equals == std::string::npos ? std::string() : text.substr(equals + 1);
}

bool kindTakesValue(vzsim::FaultKind kind)
{
    return kind == vzsim::FaultKind::ErrorStatus || kind == vzsim::FaultKind::DropItem ||
           kind == vzsim::FaultKind::WrongOffset;
}

bool readFaultValue(const std::string &text, vzsim::Fault &fault)
{
    uint64_t number = 0;
    int64_t signedNumber = 0;
    switch (fault.kind) {
    case vzsim::FaultKind::ErrorStatus:
        // Any other status would be a state the recorder never reached.
        if (!readUnsigned(text, UINT32_MAX, number) || number <= kLastStatus)
            return false;
        fault.status = uint32_t(number);
        return true;
    case vzsim::FaultKind::DropItem:
        if (!readCode(text, UINT8_MAX, number))
            return false;
        fault.item = uint8_t(number);
        return true;
    default:
        if (!readSigned(text, INT32_MAX, signedNumber))
            return false;
        fault.offsetDelta = int32_t(signedNumber);
        return true;
    }
}

bool readFaultModifier(const std::string &text, vzsim::Fault &fault)
{
    std::string key, value;
    splitPair(text, key, value);
    uint64_t number = 0;
    if (key == "delay") {
        vzsim::Microseconds delay;
        if (!readDuration(value, delay))
            return false;
        fault.delay = std::chrono::duration_cast<vzsim::Milliseconds>(delay);
        return true;
    }
    if (!readUnsigned(value, UINT32_MAX, number))
        return false;
    if (key == "status")
        fault.whileStatus = uint32_t(number);
    else if (key == "at" && number > 0)
        fault.occurrence = unsigned(number);
    else if (key == "times")
        fault.count = unsigned(number);
    else
        return false;
    return true;
}

} // namespace

namespace
{

// Digits only in the given base: no sign, no blank, no prefix.
bool readDigits(const std::string &text, int base, uint64_t max, uint64_t &value)
{
    if (text.empty() || !std::isxdigit(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char *end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0' || number > max)
        return false;
    value = number;
    return true;
}

} // namespace

bool readUnsigned(const std::string &text, uint64_t max, uint64_t &value)
{
    // A leading zero means nothing: "010" is ten.
    return text.find_first_not_of("0123456789") == std::string::npos && readDigits(text, 10, max, value);
}

bool readCode(const std::string &text, uint64_t max, uint64_t &value)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return readDigits(text.substr(2), 16, max, value);
    return readUnsigned(text, max, value);
}

bool readSigned(const std::string &text, int64_t limit, int64_t &value)
{
    const bool negative = !text.empty() && text[0] == '-';
    uint64_t magnitude = 0;
    if (!readUnsigned(negative ? text.substr(1) : text, uint64_t(limit), magnitude))
        return false;
    value = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}

bool readVersion(const std::string &text, uint16_t &hundredths)
{
    const size_t point = text.find('.');
    uint64_t whole = 0;
    if (point == std::string::npos) {
        if (!readUnsigned(text, UINT16_MAX, whole))
            return false;
        hundredths = uint16_t(whole);
        return true;
    }
    // As shown to users: decimal, one or two digits after the point.
    const std::string wholeText = text.substr(0, point), fractionText = text.substr(point + 1);
    const auto decimal = [](const std::string &digits) {
        return !digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos;
    };
    if (!decimal(wholeText) || !decimal(fractionText) || fractionText.size() > 2 || wholeText.size() > 3)
        return false;
    const uint64_t fraction = std::stoull(fractionText) * (fractionText.size() == 1 ? 10 : 1);
    const uint64_t value = std::stoull(wholeText) * 100 + fraction;
    if (value > UINT16_MAX)
        return false;
    hundredths = uint16_t(value);
    return true;
}

bool readDuration(const std::string &text, vzsim::Microseconds &duration)
{
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char *end = nullptr;
    const double milliseconds = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(milliseconds <= kMaxDurationMs))
        return false;
    duration = vzsim::Microseconds(static_cast<int64_t>(milliseconds * 1000 + 0.5));
    return true;
}

bool readList(const std::string &text, std::vector<uint32_t> &values)
{
    std::vector<uint32_t> read;
    for (const std::string &part : split(text, ',')) {
        uint64_t number = 0;
        if (!readUnsigned(part, UINT32_MAX, number))
            return false;
        read.push_back(uint32_t(number));
    }
    if (read.empty())
        return false;
    values = read;
    return true;
}

bool readPhase(const std::string &text, vzsim::Timing &timing)
{
    std::string name, value;
    splitPair(text, name, value);
    const std::vector<std::string> parts = split(value, ':');
    uint64_t polls = 0;
    vzsim::Microseconds time{0};
    if (parts.empty() || parts.size() > 2 || !readUnsigned(parts[0], UINT32_MAX, polls) ||
        (parts.size() == 2 && !readDuration(parts[1], time)))
        return false;
    for (const PhaseName &phase : kPhases) {
        if (name == phase.name) {
            timing.*phase.phase =
                vzsim::Phase{unsigned(polls), std::chrono::duration_cast<vzsim::Milliseconds>(time)};
            return true;
        }
    }
    return false;
}

bool readFault(vzsim::FaultKind kind, const std::string &text, vzsim::Fault &fault)
{
    vzsim::Fault read(kind);
    const std::vector<std::string> parts = split(text, ',');
    if (parts.empty())
        return false;
    std::string request, value;
    splitPair(parts[0], request, value);
    uint64_t code = 0;
    if (request != "any") {
        if (!readCode(request, UINT8_MAX, code))
            return false;
        read.request = uint8_t(code);
    }
    if (kindTakesValue(kind) != (parts[0].find('=') != std::string::npos))
        return false;
    if (kindTakesValue(kind) && !readFaultValue(value, read))
        return false;
    for (size_t i = 1; i < parts.size(); ++i)
        if (!readFaultModifier(parts[i], read))
            return false;
    fault = read;
    return true;
}

std::string phaseNames()
{
    std::string names;
    for (const PhaseName &phase : kPhases)
        names += (names.empty() ? "" : ", ") + std::string(phase.name);
    return names;
}

} // namespace vzsimtool
