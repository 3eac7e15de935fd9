// vzsim: a simulated recorder that the updater reaches through the recorder
// bridge (VZMIDI_BRIDGE=PATH) or on the ALSA sequencer, for demonstrations
// and tests without the device.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#ifdef VZSIM_WITH_ALSA
#include "alsa_server.h"
#endif
#include "bridge_server.h"
#include "sim_options.h"
#include "vzmsg_ctl.h"
#include "vzsim_recorder.h"

namespace
{

std::atomic<vzsimtool::Transport *> g_server{nullptr};

void onSignal(int)
{
    if (vzsimtool::Transport *server = g_server.load())
        server->stop();
}

void installSignalHandlers()
{
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// Null when the transport asked for is not built in.
std::unique_ptr<vzsimtool::Transport> makeTransport(vzsim::Recorder &recorder,
                                                    const vzsimtool::Options &options)
{
    if (!options.alsa)
        return std::make_unique<vzsimtool::BridgeServer>(recorder, options);
#ifdef VZSIM_WITH_ALSA
    return std::make_unique<vzsimtool::AlsaServer>(recorder, options);
#else
    return nullptr;
#endif
}

// A recorder that finished an update holds the image it wrote; tests compare
// it with what they sent, byte for byte.
bool saveCompletedImage(const vzsim::Recorder &recorder, const std::string &path)
{
    if (path.empty() || recorder.status() != VZMSG_DATA_FWUP_STATUS_COMPLETE)
        return true;
    const std::vector<uint8_t> image = recorder.receivedImage();
    FILE *file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(image.data(), 1, image.size(), file) == image.size();
    if (file && std::fclose(file) != 0)
        written = false;
    if (!written)
        std::fprintf(stderr, "vzsim: cannot write the image to %s\n", path.c_str());
    return written;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string path = argc > 0 ? argv[0] : "vzsim";
    const std::string program = path.substr(path.find_last_of('/') + 1);
    vzsimtool::Options options;
    std::string error;
    switch (vzsimtool::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    case vzsimtool::ParseResult::Help:
        std::fputs(vzsimtool::helpText(program).c_str(), stdout);
        return 0;
    case vzsimtool::ParseResult::Error:
        std::fprintf(stderr, "vzsim: %s\nTry \"%s --help\".\n", error.c_str(), program.c_str());
        return 2;
    case vzsimtool::ParseResult::Run:
        break;
    }

    vzsim::Recorder recorder(options.recorder);
    const std::unique_ptr<vzsimtool::Transport> server = makeTransport(recorder, options);
    if (!server) {
        std::fprintf(stderr, "vzsim: built without the ALSA sequencer\n");
        return 1;
    }
    if (!server->listen(error)) {
        std::fprintf(stderr, "vzsim: %s\n", error.c_str());
        return 1;
    }
    g_server.store(server.get());
    installSignalHandlers();
    server->run();
    g_server.store(nullptr);
    return saveCompletedImage(recorder, options.saveImagePath) ? 0 : 1;
}
