/* Throughput of the frame encoder and decoder on 256-byte records, and of
 * the checksum test on the sample image beside a plain byte sum of the same
 * memory. Usage: bench_codec [IMAGE] (default: the build's sample image).
 * Figures are the best of several rounds, timed in the thread's CPU time. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "prgdecode.h"
#include "vzmsg_midi.h"

#define RECORD 256
#define ROUNDS 10
#define ROUND_SECONDS 0.05
#define BATCH 16

/* The thread's own CPU time, so that other processes on a loaded machine
 * do not count against the code measured. */
static double now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static volatile uint64_t sink; /* keeps results alive */

/* Best of ROUNDS rounds, each repeating run() for ROUND_SECONDS; answers
 * the processed bytes per second in MB/s (10^6). */
static double throughput(void (*run)(void *), void *context, double bytes_per_run)
{
    double best = 0;
    for (int round = 0; round < ROUNDS; round++) {
        double start = now(), elapsed;
        uint64_t runs = 0;
        do {
            /* Reading the CPU clock costs a system call: look rarely. */
            for (int i = 0; i < BATCH; i++)
                run(context);
            runs += BATCH;
            elapsed = now() - start;
        } while (elapsed < ROUND_SECONDS);
        double rate = bytes_per_run * (double)runs / elapsed / 1e6;
        best = rate > best ? rate : best;
    }
    return best;
}

/* Frames are timed in batches of BATCH * FRAMES_PER_RUN calls. */
#define FRAMES_PER_RUN 64
static uint8_t payload[RECORD], frame[RECORD * 8 / 7 + 8], decoded[RECORD];
static uint64_t frame_length;

static void encode_once(void *unused)
{
    (void)unused;
    uint64_t length;
    for (int i = 0; i < FRAMES_PER_RUN; i++)
        sink += vzmsg_midi_encode(payload, RECORD, frame, sizeof frame, &length) + length;
}

static void decode_once(void *unused)
{
    (void)unused;
    uint64_t length;
    for (int i = 0; i < FRAMES_PER_RUN; i++)
        sink += vzmsg_midi_decode(frame, frame_length, decoded, sizeof decoded, &length) + length;
}

typedef struct image {
    const uint8_t *bytes;
    int32_t length;
} image;

static void check_once(void *context)
{
    const image *img = context;
    sink += (uint64_t)prg_check(img->bytes, img->length);
}

static void plain_sum_once(void *context)
{
    const image *img = context;
    uint32_t sum = 0;
    for (int32_t i = 0; i < img->length; i++)
        sum += img->bytes[i];
    sink += sum;
}

static const char *verdict(int met)
{
    return met ? "goal met" : "GOAL MISSED";
}

int main(int argc, char **argv)
{
    const char *path = argc > 1 ? argv[1] : VZ_SAMPLE_IMAGE;
    srand(7);
    for (int i = 0; i < RECORD; i++)
        payload[i] = (uint8_t)rand();
    if (vzmsg_midi_encode(payload, RECORD, frame, sizeof frame, &frame_length) != 0)
        return 1;
    double encode = throughput(encode_once, NULL, RECORD * FRAMES_PER_RUN);
    double decode = throughput(decode_once, NULL, RECORD * FRAMES_PER_RUN);
    printf("frame encode, 256-byte payload:  %8.0f MB/s  (goal >= 500: %s)\n", encode,
           verdict(encode >= 500));
    printf("frame decode, 256-byte payload:  %8.0f MB/s  (goal >= 500: %s)\n", decode,
           verdict(decode >= 500));

    image img;
    img.bytes = prg_load_file(path, &img.length);
    if (!img.bytes) {
        fprintf(stderr, "bench_codec: cannot load %s\n", path);
        return 1;
    }
    if (prg_check(img.bytes, img.length) != 0) {
        fprintf(stderr, "bench_codec: %s does not pass the checksum test\n", path);
        return 1;
    }
    double check = throughput(check_once, &img, img.length) / 1000;
    double plain = throughput(plain_sum_once, &img, img.length) / 1000;
    printf("checksum test, %ld-byte image: %6.2f GB/s  (goal >= 1: %s)\n", (long)img.length, check,
           verdict(check >= 1));
    printf("plain byte sum, same memory:     %6.2f GB/s  (checksum test at %.2fx of it; goal <= 2: %s)\n",
           plain, plain / check, verdict(plain / check <= 2));
    free((void *)img.bytes);
    return 0;
}
