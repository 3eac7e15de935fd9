#include "vzsim_config.h"

namespace vzsim
{

FreeSpace FreeSpace::fixed(uint32_t bytes)
{
    FreeSpace space;
    space.value = bytes;
    return space;
}

FreeSpace FreeSpace::zeroThen(unsigned times, uint32_t bytes)
{
    FreeSpace space;
    space.sequence.assign(times, 0);
    space.value = bytes;
    return space;
}

Fault &Fault::on(uint8_t requestCode)
{
    request = requestCode;
    return *this;
}

Fault &Fault::inStatus(uint32_t recorderStatus)
{
    whileStatus = recorderStatus;
    return *this;
}

Fault &Fault::at(unsigned nth)
{
    occurrence = nth;
    return *this;
}

Fault &Fault::times(unsigned n)
{
    count = n;
    return *this;
}

Fault Fault::error(uint8_t requestCode, uint32_t errorStatus)
{
    Fault fault(FaultKind::ErrorStatus);
    fault.request = requestCode;
    fault.status = errorStatus;
    return fault;
}

} // namespace vzsim
