#include "fwupdateworker.h"

#include <QThread>

#include "apptiming.h"
#include "updatejob.h"
#include "vzdevice.h"

namespace
{

constexpr quint32 maximumReadingSpread = 256;
constexpr int settleBeforeUpdateMs = 1000;

} // namespace

FWUpdateWorker::FWUpdateWorker(QObject *parent) : QObject(parent) {}

bool FWUpdateWorker::readingsAgree(const std::array<quint32, 3> &readings)
{
    quint32 smallest = 0;
    quint32 largest = 0;
    for (const quint32 reading : readings) {
        if (smallest == 0 || reading < smallest)
            smallest = reading;
        if (largest == 0 || reading > largest)
            largest = reading;
    }
    return largest - smallest <= maximumReadingSpread;
}

bool FWUpdateWorker::precheck(quint32 size)
{
    VzDevice *device = progress->job->device;
    std::array<quint32, 3> readings{};
    quint32 reading = 0;
    for (quint32 &slot : readings) {
        if (!device->fw_get_checksum(size, &reading))
            return false;
        slot = reading;
    }
    return readingsAgree(readings);
}

void FWUpdateWorker::process()
{
    const UpdateJob *job = progress ? progress->job : nullptr;
    if (!job || !job->device || !job->data || job->size <= 0) {
        emit error(QStringLiteral("Update error"));
        emit finished();
        return;
    }
    emit process_text(tr("Updating..."));
    const quint32 size = static_cast<quint32>(job->size);
    bool updated = precheck(size);
    if (updated) {
        QThread::msleep(static_cast<unsigned long>(AppTiming::scaled(settleBeforeUpdateMs)));
        updated = job->device->fw_update(job->data, size, counterAddress(progress->done),
                                         counterAddress(progress->total), counterAddress(progress->status));
    }
    if (updated) {
        progress->done.store(0, std::memory_order_relaxed);
        emit process_text(tr("Update complete"));
        emit completed();
    } else {
        emit error(tr("Update error"));
    }
    emit finished();
}
