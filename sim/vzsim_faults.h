// The faults armed in a recorder and which requests they hit.
#ifndef VZSIM_FAULTS_H
#define VZSIM_FAULTS_H

#include <cstdint>
#include <vector>

#include "vzsim_config.h"

namespace vzsim
{

class FaultPlan
{
public:
    void set(const std::vector<Fault> &faults);
    void add(const Fault &fault);

    // Counts the request against every fault it matches and answers the
    // faults it hits, in the order they were armed.
    std::vector<Fault> hits(uint8_t request, uint32_t status);

private:
    struct Armed {
        Fault fault;
        unsigned matches = 0;
    };
    std::vector<Armed> armed_;
};

} // namespace vzsim

#endif
