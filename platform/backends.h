// The back-ends whose ports make up the MIDI device lists.
#ifndef VZMIDI_BACKENDS_H
#define VZMIDI_BACKENDS_H

#include <vector>

#include "vzmidi_backend.h"

namespace vzmidi
{

// In device-list order. The environment variable VZMIDI_BACKENDS, when
// set, keeps only the back-ends it names (comma-separated), so that tests
// and the simulator see no ports of the machine.
const std::vector<const vzmidi_backend *> &backends();

} // namespace vzmidi

#endif
