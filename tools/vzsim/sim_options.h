// vzsim's command line: where the host finds the recorder (a socket, or
// the ALSA sequencer) and everything about the
// simulated recorder, with the help text made from the same table.
#ifndef VZSIM_TOOL_SIM_OPTIONS_H
#define VZSIM_TOOL_SIM_OPTIONS_H

#include <string>
#include <vector>

#include "vzsim_config.h"

namespace vzsimtool
{

struct Options {
    std::string socketPath;
    bool alsa = false; // on the ALSA sequencer instead of a socket
    std::string portName = "Q7 CONTROL";
    vzsim::RecorderConfig recorder;
    bool verbose = false;
    int replugAfterMs = -1; // after an unplug fault; -1: stay unplugged
    std::string saveImagePath; // where a completed update's image goes at the end
};

enum class ParseResult { Run, Help, Error };

// Reads the arguments after the program name. On Error, error says why.
ParseResult parseOptions(const std::vector<std::string> &args, Options &options, std::string &error);
std::string helpText(const std::string &program);

} // namespace vzsimtool

#endif
