#include "vzsim_faults.h"

namespace vzsim
{

void FaultPlan::set(const std::vector<Fault> &faults)
{
    armed_.clear();
    for (const Fault &fault : faults)
        add(fault);
}

void FaultPlan::add(const Fault &fault)
{
    armed_.push_back(Armed{fault, 0});
}

std::vector<Fault> FaultPlan::hits(uint8_t request, uint32_t status)
{
    std::vector<Fault> hit;

    for (Armed &armed : armed_) {
        const Fault &fault = armed.fault;
        if (fault.request && *fault.request != request)
            continue;
        if (fault.whileStatus && *fault.whileStatus != status)
            continue;
        unsigned nth = ++armed.matches;
        if (nth >= fault.occurrence && (fault.count == 0 || nth - fault.occurrence < fault.count))
            hit.push_back(fault);
    }
    return hit;
}

} // namespace vzsim
