/* File identity: device and inode where the system has them, the full path
 * (case-insensitively) on Windows, where the C library has no inodes. */
#include "same_file.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <stdlib.h>
#include <string.h>

int same_file(const char *a, const char *b)
{
    struct _stat sa, sb;
    char full_a[_MAX_PATH], full_b[_MAX_PATH];
    if (_stat(a, &sa) != 0 || _stat(b, &sb) != 0)
        return 0;
    if (!_fullpath(full_a, a, sizeof full_a) || !_fullpath(full_b, b, sizeof full_b))
        return 0;
    return _stricmp(full_a, full_b) == 0;
}
#else
int same_file(const char *a, const char *b)
{
    struct stat sa, sb;
    if (stat(a, &sa) != 0 || stat(b, &sb) != 0)
        return 0;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
#endif
