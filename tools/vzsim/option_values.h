// The values that vzsim's options take, read from their text. Each reader
// answers false for text that is not a whole, in-range value.
#ifndef VZSIM_TOOL_OPTION_VALUES_H
#define VZSIM_TOOL_OPTION_VALUES_H

#include <cstdint>
#include <string>
#include <vector>

#include "vzsim_config.h"

namespace vzsimtool
{

// Decimal; at most max.
bool readUnsigned(const std::string &text, uint64_t max, uint64_t &value);
// A request or item code: decimal, or hexadecimal after 0x; at most max.
bool readCode(const std::string &text, uint64_t max, uint64_t &value);
// Like readUnsigned, with an optional leading minus.
bool readSigned(const std::string &text, int64_t limit, int64_t &value);
// A version in hundredths: "102", or as shown, "1.02".
bool readVersion(const std::string &text, uint16_t &hundredths);
// Milliseconds, fractions allowed ("0.5"), up to a minute.
bool readDuration(const std::string &text, vzsim::Microseconds &duration);
// Comma-separated unsigned 32-bit numbers.
bool readList(const std::string &text, std::vector<uint32_t> &values);
// "NAME=POLLS" or "NAME=POLLS:MS": how long one update phase lasts.
bool readPhase(const std::string &text, vzsim::Timing &timing);
// "REQ[=VALUE][,status=N][,at=N][,times=N][,delay=MS]" for one fault of
// kind: REQ is a request code or "any"; VALUE, required for the kinds that
// take one, is the error status (above 99), the item left out or the
// offset error.
bool readFault(vzsim::FaultKind kind, const std::string &text, vzsim::Fault &fault);
// The names readPhase knows, for the help text.
std::string phaseNames();

} // namespace vzsimtool

#endif
