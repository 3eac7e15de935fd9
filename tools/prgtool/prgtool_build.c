/* prgtool build: a valid image from a payload file or a generated payload. */
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "prgencode.h"
#include "prgtool.h"
#include "same_file.h"

typedef struct build_options {
    const char *payload_path;
    long long generate_size; /* whole image; -1 when not asked for */
    prg_image_info info;
    const char *output_path;
} build_options;

static int fail(const char *what, const char *value)
{
    fprintf(stderr, "prgtool build: %s%s%s\n", what, value ? ": " : "", value ? value : "");
    return PRGTOOL_USAGE;
}

/* A whole decimal number from min to max; -1 otherwise. */
static long long parse_number(const char *text, long long min, long long max)
{
    if (!text || *text < '0' || *text > '9')
        return -1;
    char *end;
    errno = 0;
    long long value = strtoll(text, &end, 10);
    if (errno || *end || value < min || value > max)
        return -1;
    return value;
}

static int days_in_month(unsigned year, unsigned month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return days[month - 1] + (month == 2 && leap);
}

static int parse_date(const char *text, prg_image_info *info)
{
    unsigned year, month, day;
    int consumed = 0;
    if (strlen(text) != 10 || sscanf(text, "%4u-%2u-%2u%n", &year, &month, &day, &consumed) != 3 ||
        consumed != 10)
        return 1;
    if (year < 1 || month < 1 || month > 12 || day < 1 || (int)day > days_in_month(year, month))
        return 1;
    info->year = (uint16_t)year;
    info->month = (uint8_t)month;
    info->day = (uint8_t)day;
    return 0;
}

static int parse_product(const char *text, prg_image_info *info)
{
    size_t length = strlen(text);
    if (length == 0 || length > sizeof info->product)
        return 1;
    for (size_t i = 0; i < length; i++)
        if (text[i] < 0x20 || text[i] > 0x7E)
            return 1;
    memset(info->product, 0, sizeof info->product);
    memcpy(info->product, text, length);
    return 0;
}

static int parse_option(build_options *options, const char *name, const char *value)
{
    long long number;
    if (!value)
        return fail("missing value for", name);
    if (strcmp(name, "--payload") == 0) {
        options->payload_path = value;
    } else if (strcmp(name, "--generate-size") == 0) {
        if ((options->generate_size = parse_number(value, PRG_MIN_IMAGE_SIZE, INT32_MAX)) < 0)
            return fail("--generate-size needs a whole image size from 36 to 2147483647", value);
    } else if (strcmp(name, "--product") == 0) {
        if (parse_product(value, &options->info))
            return fail("--product needs 1 to 8 printable ASCII characters", value);
    } else if (strcmp(name, "--version") == 0 || strcmp(name, "--build") == 0) {
        if ((number = parse_number(value, 0, UINT16_MAX)) < 0)
            return fail("the number must be from 0 to 65535", value);
        *(name[2] == 'v' ? &options->info.version : &options->info.build) = (uint16_t)number;
    } else if (strcmp(name, "--date") == 0) {
        if (parse_date(value, &options->info))
            return fail("--date needs a valid date as YYYY-MM-DD", value);
    } else if (strcmp(name, "-o") == 0) {
        options->output_path = value;
    } else {
        return fail("unknown option", name);
    }
    return 0;
}

static int parse_options(int argc, char **argv, build_options *options)
{
    static const prg_image_info defaults = {"VELDR-Q7", 100, 1, 2022, 8, 1};
    options->payload_path = NULL;
    options->generate_size = -1;
    options->info = defaults;
    options->output_path = NULL;
    for (int i = 0; i < argc; i += 2) {
        if (strcmp(argv[i], "--help") == 0)
            return fail("see 'prgtool --help'", NULL);
        int result = parse_option(options, argv[i], i + 1 < argc ? argv[i + 1] : NULL);
        if (result)
            return result;
    }
    if (!options->output_path)
        return fail("no output file given (-o OUT)", NULL);
    if (!options->payload_path == (options->generate_size < 0))
        return fail("give exactly one of --payload FILE and --generate-size N", NULL);
    if (options->payload_path && same_file(options->payload_path, options->output_path))
        return fail("the output file is the payload file; not overwriting the input", options->output_path);
    return 0;
}

/* The same bytes on every run: a 32-bit xorshift sequence. */
static void generate_payload(uint8_t *payload, int32_t length)
{
    uint32_t state = 0x56513721u;
    for (int32_t i = 0; i < length; i++) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        payload[i] = (uint8_t)(state >> 24);
    }
}

static uint8_t *make_payload(const build_options *options, int32_t *length)
{
    if (options->payload_path) {
        uint8_t *payload = prg_load_file(options->payload_path, length);
        if (!payload)
            fprintf(stderr, "prgtool build: cannot read the payload (missing, empty or 2 GiB or more): %s\n",
                    options->payload_path);
        else if (*length > INT32_MAX - PRG_MIN_IMAGE_SIZE) {
            fprintf(stderr, "prgtool build: the payload is too large for an image: %s\n",
                    options->payload_path);
            free(payload);
            payload = NULL;
        }
        return payload;
    }
    *length = (int32_t)(options->generate_size - PRG_MIN_IMAGE_SIZE);
    uint8_t *payload = malloc((size_t)*length + 1);
    if (payload)
        generate_payload(payload, *length);
    else
        fprintf(stderr, "prgtool build: out of memory\n");
    return payload;
}

static int write_image(const char *path, const uint8_t *image, int32_t size)
{
    FILE *file = fopen(path, "wb");
    if (!file) {
        fprintf(stderr, "prgtool build: cannot create %s: %s\n", path, strerror(errno));
        return PRGTOOL_FAILED;
    }
    int failed = fwrite(image, 1, (size_t)size, file) != (size_t)size;
    failed |= fclose(file) != 0;
    if (failed) {
        fprintf(stderr, "prgtool build: cannot write %s\n", path);
        remove(path);
        return PRGTOOL_FAILED;
    }
    return PRGTOOL_OK;
}

int prgtool_build(int argc, char **argv)
{
    build_options options;
    int result = parse_options(argc, argv, &options);
    if (result)
        return result;
    int32_t payload_length;
    uint8_t *payload = make_payload(&options, &payload_length);
    if (!payload)
        return PRGTOOL_FAILED;
    int32_t size = payload_length + PRG_MIN_IMAGE_SIZE;
    uint8_t *image = malloc((size_t)size);
    result = PRGTOOL_FAILED;
    if (!image)
        fprintf(stderr, "prgtool build: out of memory\n");
    else if (prg_build_image(&options.info, payload, payload_length, image, size) == 0)
        result = write_image(options.output_path, image, size);
    if (result == PRGTOOL_OK) {
        prg_header header;
        prg_set_header(&header, image);
        printf("%s: %ld bytes, checksum %#lx\n", options.output_path, (long)size,
               (unsigned long)prg_get_checksum(&header));
    }
    free(image);
    free(payload);
    return result;
}
