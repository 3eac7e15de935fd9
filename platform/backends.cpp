// The one list of back-ends: a new back-end is its own source file plus
// one entry here.
#include "backends.h"

#include <cstdlib>
#include <sstream>
#include <string>

extern "C" const vzmidi_backend vzmidi_virtual_backend;
extern "C" const vzmidi_backend vzmidi_bridge_backend;
#ifdef VZMIDI_WITH_ALSA
extern "C" const vzmidi_backend vzmidi_alsa_backend;
#endif

namespace vzmidi
{

namespace
{

const vzmidi_backend *const all_backends[] = {
    &vzmidi_virtual_backend,
    &vzmidi_bridge_backend,
#ifdef VZMIDI_WITH_ALSA
    &vzmidi_alsa_backend,
#endif
};

bool selected(const char *name, const char *selection)
{
    std::istringstream names(selection);
    std::string item;
    while (std::getline(names, item, ','))
        if (item == name)
            return true;
    return false;
}

std::vector<const vzmidi_backend *> select_backends()
{
    const char *selection = std::getenv("VZMIDI_BACKENDS");
    std::vector<const vzmidi_backend *> chosen;
    for (const vzmidi_backend *backend : all_backends)
        if (!selection || selected(backend->name, selection))
            chosen.push_back(backend);
    return chosen;
}

} // namespace

const std::vector<const vzmidi_backend *> &backends()
{
    // Never destroyed: the lists may still be asked for while the process exits.
    static const auto *chosen = new std::vector<const vzmidi_backend *>(select_backends());
    return *chosen;
}

} // namespace vzmidi
