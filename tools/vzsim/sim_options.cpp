#include "sim_options.h"

#include <functional>
#include <sstream>

#include "option_values.h"

namespace vzsimtool
{

namespace
{

using Apply = std::function<bool(Options &, const std::string &)>;

struct OptionSpec {
    const char *name;     // without the leading "--"; null for a heading
    const char *argument; // null for a flag
    const char *help;
    Apply apply;
};

Apply unsigned16(uint16_t vzsim::Identity::*field)
{
    return [field](Options &o, const std::string &text) {
        uint64_t value = 0;
        if (!readUnsigned(text, UINT16_MAX, value))
            return false;
        o.recorder.identity.*field = uint16_t(value);
        return true;
    };
}

Apply text(std::string vzsim::Identity::*field)
{
    return [field](Options &o, const std::string &value) {
        if (value.size() > 255)
            return false; // a type 6 string item holds 255 bytes
        o.recorder.identity.*field = value;
        return true;
    };
}

Apply fault(vzsim::FaultKind kind)
{
    return [kind](Options &o, const std::string &value) {
        vzsim::Fault read(kind);
        if (!readFault(kind, value, read))
            return false;
        o.recorder.faults.push_back(read);
        return true;
    };
}

Apply flag(std::function<void(Options &)> set)
{
    return [set](Options &o, const std::string &) {
        set(o);
        return true;
    };
}

const std::vector<OptionSpec> &optionTable()
{
    using vzsim::FaultKind;
    using vzsim::Identity;
    static const std::vector<OptionSpec> table = {
        {nullptr, nullptr, "Where the host finds it", {}},
        {"alsa", nullptr, "appear as a hardware port on the ALSA sequencer instead of PATH",
         flag([](Options &o) { o.alsa = true; })},
        {"socket", "PATH", "the Unix-domain socket to listen on (or give PATH as the first argument)",
         [](Options &o, const std::string &v) {
             o.socketPath = v;
             return !v.empty();
         }},
        {"name", "TEXT", "the port's name (default \"Q7 CONTROL\")",
         [](Options &o, const std::string &v) {
             o.portName = v;
             return !v.empty();
         }},
        {"replug-after", "MS",
         "after an --unplug fault, plug in again after MS milliseconds (default: stay unplugged)",
         [](Options &o, const std::string &v) {
             uint64_t ms = 0;
             if (!readUnsigned(v, 3600000, ms))
                 return false;
             o.replugAfterMs = int(ms);
             return true;
         }},
        {"save-image", "FILE",
         "on ending, write the image of a complete update (status 10) to FILE, to compare with what was sent",
         [](Options &o, const std::string &v) {
             o.saveImagePath = v;
             return !v.empty();
         }},
        {"verbose", nullptr, "print each request and reply, e.g. \"-> 0x55 FWUP_STATUS\", \"<- 0x55=6\"",
         flag([](Options &o) { o.verbose = true; })},

        {nullptr, nullptr, "Identity", {}},
        {"version", "N", "firmware version in hundredths, 102 or 1.02 (default 0.98)",
         [](Options &o, const std::string &v) { return readVersion(v, o.recorder.identity.version); }},
        {"build", "N", "firmware build (default 35)", unsigned16(&Identity::build)},
        {"product", "TEXT", "model text, item 0x02 (default \"Q7\")", text(&Identity::product)},
        {"serial", "TEXT", "serial number, item 0x07 (default \"VQ7-000123\")", text(&Identity::serial)},
        {"battery", "N", "battery state, 0 for no usable battery (default 3)",
         unsigned16(&Identity::battery)},
        {"protocol", "N", "protocol version, item 0x50 (default 1)", unsigned16(&Identity::protocolVersion)},
        {"item03", "TEXT", "text of reply item 0x03", text(&Identity::extra03)},
        {"item05", "TEXT", "text of reply item 0x05", text(&Identity::extra05)},
        {"item06", "TEXT", "text of reply item 0x06", text(&Identity::extra06)},
        {"image-product", "CODE", "product code a received image must carry (default \"VELDR-Q7\")",
         [](Options &o, const std::string &v) {
             o.recorder.imageProduct = v;
             return !v.empty() && v.size() <= 8;
         }},

        {nullptr, nullptr, "Free space (answers to 0x59 without data)", {}},
        {"free-space", "N", "bytes it can take at a time (default 4096)",
         [](Options &o, const std::string &v) {
             uint64_t bytes = 0;
             if (!readUnsigned(v, UINT32_MAX, bytes))
                 return false;
             o.recorder.freeSpace.value = uint32_t(bytes);
             return true;
         }},
        {"free-sequence", "N,N,...", "answers given first, one per question, before --free-space",
         [](Options &o, const std::string &v) { return readList(v, o.recorder.freeSpace.sequence); }},
        {"free-repeat", nullptr, "give the --free-sequence answers again and again",
         flag([](Options &o) { o.recorder.freeSpace.repeat = true; })},

        {nullptr, nullptr, "Timing", {}},
        {"latency", "MS", "time from a request to its reply, fractions allowed (default 0)",
         [](Options &o, const std::string &v) { return readDuration(v, o.recorder.timing.latency); }},
        {"phase", "NAME=POLLS[:MS]",
         "a phase lasts POLLS status requests and at least MS milliseconds; NAME is one of the phases "
         "listed below",
         [](Options &o, const std::string &v) { return readPhase(v, o.recorder.timing); }},
        {"instant", nullptr, "no phase takes any time: every status moves on at once", flag([](Options &o) {
             vzsim::Timing &t = o.recorder.timing;
             for (vzsim::Phase *phase : {&t.modeChange, &t.transferReady, &t.dataCheck, &t.writeStart,
                                         &t.erase, &t.blankCheck, &t.write, &t.compare, &t.serialWrite})
                 *phase = vzsim::Phase{};
         })},

        {nullptr, nullptr, "Faults (each may be given several times; FAULT is described below)", {}},
        {"fail-status", "REQ=STATUS[,...]", "enter error STATUS (above 99) on the request, and stay in it",
         fault(FaultKind::ErrorStatus)},
        {"no-reply", "REQ[,...]", "leave the request unanswered", fault(FaultKind::NoReply)},
        {"late-reply", "REQ[,...]", "answer after delay=MS (default 1000), or before the next reply",
         fault(FaultKind::LateReply)},
        {"duplicate-reply", "REQ[,...]", "answer, and send a copy of the reply late",
         fault(FaultKind::DuplicateReply)},
        {"garbage", "REQ[,...]", "answer with a SysEx message of another maker", fault(FaultKind::Garbage)},
        {"truncated", "REQ[,...]", "answer with half of the reply's data bytes", fault(FaultKind::Truncated)},
        {"no-end-byte", "REQ[,...]", "answer without the final F7", fault(FaultKind::NoEndByte)},
        {"oversized", "REQ[,...]", "answer with a SysEx message longer than 2048 bytes",
         fault(FaultKind::Oversized)},
        {"unplug", "REQ[,...]", "vanish instead of answering: close the connection and the socket",
         fault(FaultKind::Unplug)},
        {"drop-item", "REQ=ITEM[,...]", "answer without item ITEM", fault(FaultKind::DropItem)},
        {"wrong-offset", "REQ=DELTA[,...]", "add DELTA to item 0x58 of the answer",
         fault(FaultKind::WrongOffset)},
    };
    return table;
}

const OptionSpec *findOption(const std::string &name)
{
    for (const OptionSpec &spec : optionTable())
        if (spec.name && name == spec.name)
            return &spec;
    return nullptr;
}

} // namespace

ParseResult parseOptions(const std::vector<std::string> &args, Options &options, std::string &error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h")
            return ParseResult::Help;
        if (arg.compare(0, 2, "--") != 0) {
            if (!options.socketPath.empty() || arg.empty()) {
                error = "unexpected argument \"" + arg + "\"";
                return ParseResult::Error;
            }
            options.socketPath = arg;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionSpec *spec = findOption(name);
        if (!spec) {
            error = "unknown option --" + name;
            return ParseResult::Error;
        }
        std::string value;
        if (spec->argument) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = "--" + name + " needs " + spec->argument;
                return ParseResult::Error;
            }
        } else if (equals != std::string::npos) {
            error = "--" + name + " takes no value";
            return ParseResult::Error;
        }
        if (!spec->apply(options, value)) {
            error = "bad value \"" + value + "\" for --" + name + " " + spec->argument;
            return ParseResult::Error;
        }
    }
    if (options.socketPath.empty() == !options.alsa) {
        error = options.alsa ? "--alsa takes no socket path" : "no socket path given";
        return ParseResult::Error;
    }
    return ParseResult::Run;
}

std::string helpText(const std::string &program)
{
    std::ostringstream help;
    help << "Usage: " << program << " [options] PATH\n"
         << "       " << program << " [options] --alsa\n"
         << "A simulated SORAVE Veldracorder Q7 behind a recorder bridge socket: the updater finds it\n"
         << "when VZMIDI_BRIDGE names PATH. With --alsa it is plugged into the ALSA sequencer instead,\n"
         << "where every MIDI program sees it. Numbers are decimal; request and item codes may also be\n"
         << "written 0x hexadecimal. Ctrl+C ends it.\n";
    for (const OptionSpec &spec : optionTable()) {
        if (!spec.name) {
            help << "\n" << spec.help << ":\n";
            continue;
        }
        std::string left =
            std::string("  --") + spec.name + (spec.argument ? std::string(" ") + spec.argument : "");
        left.resize(left.size() < 34 ? 34 : left.size() + 1, ' ');
        help << left << spec.help << "\n";
    }
    help << "  --help                          this text\n"
         << "\nPhases: " << phaseNames() << ". By default data-check and serial-write last 1\n"
         << "status request, erase, blank-check, write and compare 2 each, the others none.\n"
         << "FAULT: REQ is the code of the request's first item (0x51, 83...) or \"any\"; it may be\n"
         << "followed by modifiers: status=N (only while the recorder is in status N), at=N (from\n"
         << "the Nth matching request on, default 1), times=N (this many requests, 0 for all,\n"
         << "default 1), delay=MS (late and duplicate replies).\n"
         << "Example: --fail-status 0x53=106 makes the data check fail with a checksum error.\n";
    return help.str();
}

} // namespace vzsimtool
