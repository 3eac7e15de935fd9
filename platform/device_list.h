// The MIDI device index space: the ports of every back-end, one after the
// other, as the device counts last saw them.
#ifndef VZMIDI_DEVICE_LIST_H
#define VZMIDI_DEVICE_LIST_H

#include <mmsystem.h>

#include "vzmidi_backend.h"

namespace vzmidi
{

enum class Direction { output = 0, input = 1 };

struct Device {
    const vzmidi_backend *backend;
    vzmidi_endpoint endpoint;
};

// Lists the ports again; the count of the fresh list.
UINT count_devices(Direction direction);
// The device at index of the last list, while its back-end still has it;
// false for an index beyond the list or a port that has gone since.
bool find_device(Direction direction, UINT_PTR index, Device *device);
// The UTF-8 port name as the capabilities record's zero-terminated wide
// name, cut to fit.
void copy_wide_name(const char *name, WCHAR (&wide)[MAXPNAMELEN]);

} // namespace vzmidi

#endif
