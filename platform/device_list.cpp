#include "device_list.h"

#include <mutex>
#include <vector>

#include "backends.h"

namespace vzmidi
{

namespace
{

struct Lists {
    std::mutex mutex;
    std::vector<Device> devices[2];
    bool listed[2] = {false, false};
};

Lists &lists()
{
    // Never destroyed: ports may still be looked up while the process exits.
    static auto *instance = new Lists;
    return *instance;
}

std::vector<vzmidi_endpoint> endpoints_of(const vzmidi_backend *backend, Direction direction)
{
    const int is_input = direction == Direction::input;
    std::vector<vzmidi_endpoint> endpoints(8);
    for (;;) {
        const size_t count = backend->list(is_input, endpoints.data(), endpoints.size());
        if (count <= endpoints.size()) {
            endpoints.resize(count);
            return endpoints;
        }
        // More ports than room: list again with room for all of them.
        endpoints.resize(count);
    }
}

void refresh(Lists &all, Direction direction)
{
    std::vector<Device> &devices = all.devices[int(direction)];
    devices.clear();
    for (const vzmidi_backend *backend : backends())
        for (const vzmidi_endpoint &endpoint : endpoints_of(backend, direction))
            devices.push_back({backend, endpoint});
    all.listed[int(direction)] = true;
}

bool still_listed(const Device &device, Direction direction)
{
    for (const vzmidi_endpoint &endpoint : endpoints_of(device.backend, direction))
        if (endpoint.id == device.endpoint.id)
            return true;
    return false;
}

// Continuation bytes after a UTF-8 lead byte; -1 for a byte that cannot lead.
int continuation_bytes(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if (lead < 0xC0)
        return -1;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    return lead < 0xF8 ? 3 : -1;
}

// Decodes one UTF-8 sequence at text; malformed input gives U+FFFD.
char32_t next_code_point(const unsigned char *&text)
{
    const unsigned char lead = *text++;
    int extra = continuation_bytes(lead);
    if (extra < 0)
        return U'\uFFFD';
    char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
    for (; extra > 0; --extra) {
        if ((*text & 0xC0) != 0x80)
            return U'\uFFFD';
        code = code << 6 | (*text++ & 0x3F);
    }
    return code;
}

} // namespace

UINT count_devices(Direction direction)
{
    Lists &all = lists();
    std::lock_guard<std::mutex> lock(all.mutex);
    refresh(all, direction);
    return static_cast<UINT>(all.devices[int(direction)].size());
}

bool find_device(Direction direction, UINT_PTR index, Device *device)
{
    Lists &all = lists();
    {
        std::lock_guard<std::mutex> lock(all.mutex);
        if (!all.listed[int(direction)])
            refresh(all, direction);
        const std::vector<Device> &devices = all.devices[int(direction)];
        if (index >= devices.size())
            return false;
        *device = devices[index];
    }
    return still_listed(*device, direction);
}

void copy_wide_name(const char *name, WCHAR (&wide)[MAXPNAMELEN])
{
    const auto *text = reinterpret_cast<const unsigned char *>(name);
    size_t length = 0;
    while (*text && length + 1 < MAXPNAMELEN)
        wide[length++] = static_cast<WCHAR>(next_code_point(text));
    wide[length] = 0;
}

} // namespace vzmidi
