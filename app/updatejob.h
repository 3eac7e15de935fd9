/* The two records through which the controller hands an update to the
 * update worker and watches it run. */
#ifndef UPDATEJOB_H
#define UPDATEJOB_H

#include <QtGlobal>

#include <atomic>
#include <cstdint>

class VzDevice;

struct UpdateJob {
    VzDevice *device = nullptr;
    quint8 *data = nullptr; /* the whole firmware file, owned by the controller */
    qint64 size = 0;
};

/* The counters are written by the update thread (through the message
 * library, which stores them with atomic builtins) while the GUI thread
 * reads them for the progress bar; each is only ever used on its own, so
 * relaxed order suffices. */
using UpdateCounter = std::atomic<quint32>;
static_assert(sizeof(UpdateCounter) == sizeof(uint32_t) && alignof(UpdateCounter) == alignof(uint32_t),
              "the library writes the counters through plain uint32_t pointers");
static_assert(UpdateCounter::is_always_lock_free, "the library's atomic builtins must not need a lock");

struct UpdateProgress {
    UpdateCounter done{0};
    UpdateCounter total{0};
    UpdateCounter status{0};
    UpdateJob *job = nullptr;
};

/* The address the message library writes a counter through. */
inline uint32_t *counterAddress(UpdateCounter &counter)
{
    return reinterpret_cast<uint32_t *>(&counter);
}

#endif
