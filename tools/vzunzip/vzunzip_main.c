/* vzunzip ARCHIVE FOLDER: extracts a downloaded firmware archive into the
 * download folder. Exit status 0 when every entry was extracted, 1 when the
 * archive or folder could not be used, 2 when the archive was refused as
 * corrupt, unsafe or too large. The reason goes to standard error. */
#include "vzunzip_extract.h"

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: vzunzip ARCHIVE FOLDER\n");
        return VZUNZIP_FAILED;
    }
    char why[512];
    vzunzip_result result = vzunzip_extract(argv[1], argv[2], VZUNZIP_DEFAULT_MAX_BYTES, why, sizeof why);
    if (result != VZUNZIP_OK) {
        fprintf(stderr, "vzunzip: %s\n", why);
    }
    return (int)result;
}
