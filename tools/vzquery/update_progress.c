#include "update_progress.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

#include "vzmsg.h"
#include "vzmsg_ctl.h"

#define DISPLAY_REFRESH_MS 100

struct update_job {
    vzmsg_dev_t *dev;
    const uint8_t *image;
    uint32_t length;
    /* Written by the library on the update thread, read here: relaxed
     * atomics on both sides, as the library stores them. */
    uint32_t done, total, status;
    int completed, finished;
};

static void run_transactions(struct update_job *job)
{
    int completed = vzmsg_ctl_fwup_enter(job->dev, &job->status) == 0 &&
                    vzmsg_ctl_fwup_send_data(job->dev, job->image, job->length, &job->done, &job->total,
                                             &job->status) == 0 &&
                    vzmsg_ctl_fwup_data_check(job->dev, &job->status) == 0 &&
                    vzmsg_ctl_fwup_write(job->dev, &job->done, &job->total, &job->status) == 0;
    __atomic_store_n(&job->completed, completed, __ATOMIC_RELAXED);
    __atomic_store_n(&job->finished, 1, __ATOMIC_RELEASE);
}

/* The phases of the window's progress bar that the recorder goes through. */
static const char *phase_name(uint32_t status)
{
    switch (status) {
    case VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE:
        return "erase";
    case VZMSG_DATA_FWUP_STATUS_WRITE2_BLANK:
        return "blank check";
    case VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE:
        return "write";
    case VZMSG_DATA_FWUP_STATUS_WRITE4_COMPARE:
    case VZMSG_DATA_FWUP_STATUS_COMPLETE:
        return "compare";
    default:
        return "transfer";
    }
}

static unsigned percent(uint32_t done, uint32_t total)
{
    if (total == 0)
        return 0;
    return done >= total ? 100u : (unsigned)((uint64_t)done * 100u / total);
}

static void show(struct update_job *job, FILE *display)
{
    uint32_t status = __atomic_load_n(&job->status, __ATOMIC_RELAXED);
    uint32_t done = __atomic_load_n(&job->done, __ATOMIC_RELAXED);
    /* During the transfer the recorder's own full scale is not the image's. */
    uint32_t total = status < VZMSG_DATA_FWUP_STATUS_WRITE1_ERASE
                         ? job->length
                         : __atomic_load_n(&job->total, __ATOMIC_RELAXED);
    fprintf(display, "\rupdate: %-11s %3u%%", phase_name(status), percent(done, total));
    fflush(display);
}

static void watch(struct update_job *job, FILE *display)
{
    while (!__atomic_load_n(&job->finished, __ATOMIC_ACQUIRE)) {
        show(job, display);
        vzmsg_sleep(DISPLAY_REFRESH_MS);
    }
    show(job, display);
    fputc('\n', display);
}

#ifdef _WIN32
static DWORD WINAPI update_thread(LPVOID job)
{
    run_transactions(job);
    return 0;
}

static int run_in_thread(struct update_job *job, FILE *display)
{
    HANDLE thread = CreateThread(NULL, 0, update_thread, job, 0, NULL);
    if (!thread)
        return 1;
    watch(job, display);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return 0;
}
#else
static void *update_thread(void *job)
{
    run_transactions(job);
    return NULL;
}

static int run_in_thread(struct update_job *job, FILE *display)
{
    pthread_t thread;
    if (pthread_create(&thread, NULL, update_thread, job) != 0)
        return 1;
    watch(job, display);
    pthread_join(thread, NULL);
    return 0;
}
#endif

int update_run(vzmsg_dev_t *dev, const uint8_t *image, uint32_t length, FILE *display, uint32_t *status,
               int *completed)
{
    struct update_job job = {0};
    job.dev = dev;
    job.image = image;
    job.length = length;
    if (run_in_thread(&job, display) != 0)
        return 1;
    *status = job.status;
    *completed = job.completed;
    return 0;
}
