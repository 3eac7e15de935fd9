/* prgtool: inspect, check, decode and build firmware images. */
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "prgdecode.h"
#include "prgtool.h"
#include "same_file.h"

static const char usage_text[] =
    "Usage: prgtool COMMAND ...\n"
    "\n"
    "  info FILE      print the image header and the checksum test's result\n"
    "  check FILE     run the checksum test (exit 0 when it passes, 1 when not)\n"
    "  decode FILE    write the decoded bytes behind the header to FILE.bin\n"
    "  build OPTIONS  make a valid image:\n"
    "      --payload FILE        the firmware proper, from a non-empty file\n"
    "      --generate-size N     or a generated payload, for a whole image of N\n"
    "                            bytes (N >= 36)\n"
    "      --product CODE        product code, at most 8 characters (VELDR-Q7)\n"
    "      --version N           version in hundredths, 0-65535 (100)\n"
    "      --build N             build number, 0-65535 (1)\n"
    "      --date YYYY-MM-DD     release date (2022-08-01)\n"
    "      -o OUT                the image file to write\n"
    "  --help         this text\n"
    "\n"
    "Exit codes: 0 success, 1 failure, 2 bad command line.\n";

static int usage_error(const char *message)
{
    fprintf(stderr, "prgtool: %s\nTry 'prgtool --help'.\n", message);
    return PRGTOOL_USAGE;
}

/* The library only reports that it failed; say why a file cannot be used. */
static int readable(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "prgtool: cannot read %s: %s\n", path, strerror(errno));
        return 0;
    }
    fclose(file);
    return 1;
}

static int info(const char *path)
{
    return prg_print_info(path) == 0 ? PRGTOOL_OK : PRGTOOL_FAILED;
}

static int check(const char *path)
{
    if (prg_check_file(path) != 0) {
        fprintf(stderr, "prgtool: %s: checksum test failed\n", path);
        return PRGTOOL_FAILED;
    }
    printf("%s: OK\n", path);
    return PRGTOOL_OK;
}

static int decode(const char *path)
{
    size_t length = strlen(path);
    char *output = malloc(length + sizeof ".bin");
    if (!output) {
        fprintf(stderr, "prgtool: out of memory\n");
        return PRGTOOL_FAILED;
    }
    memcpy(output, path, length);
    memcpy(output + length, ".bin", sizeof ".bin");
    int result = PRGTOOL_OK;
    if (same_file(path, output)) {
        fprintf(stderr, "prgtool: %s is %s itself; not overwriting the input\n", output, path);
        result = PRGTOOL_FAILED;
    } else if (prg_decode_file(path) != 0) {
        fprintf(stderr,
                "prgtool: cannot decode %s (unreadable, shorter than its header, path longer than 507 "
                "characters, or %s not writable)\n",
                path, output);
        result = PRGTOOL_FAILED;
    } else {
        printf("%s\n", output);
    }
    free(output);
    return result;
}

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage_error("no command given");
    const char *command = argv[1];
    if (strcmp(command, "--help") == 0 || strcmp(command, "-h") == 0) {
        fputs(usage_text, stdout);
        return PRGTOOL_OK;
    }
    if (strcmp(command, "build") == 0)
        return prgtool_build(argc - 2, argv + 2);
    int (*run)(const char *) = strcmp(command, "info") == 0     ? info
                               : strcmp(command, "check") == 0  ? check
                               : strcmp(command, "decode") == 0 ? decode
                                                                : NULL;
    if (!run)
        return usage_error("unknown command");
    if (argc != 3)
        return usage_error("the command takes exactly one FILE");
    return readable(argv[2]) ? run(argv[2]) : PRGTOOL_FAILED;
}
