/* Which archive entry names may become files in the download folder.
 * Only a plain, visible file name is accepted: anything that could name
 * another folder, a device or a path elsewhere is refused. */
#ifndef VZUNZIP_NAME_H
#define VZUNZIP_NAME_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum vzunzip_name_verdict {
    VZUNZIP_NAME_OK = 0,
    VZUNZIP_NAME_EMPTY,     /* no characters at all */
    VZUNZIP_NAME_TOO_LONG,  /* longer than a file name may be */
    VZUNZIP_NAME_DIRECTORY, /* holds "/" or "\": a path, not a name */
    VZUNZIP_NAME_DRIVE,     /* holds ":" (drive letters, alternate streams) */
    VZUNZIP_NAME_DOT,       /* "." or "..", or hidden (leading ".") */
    VZUNZIP_NAME_CONTROL,   /* a control character or an embedded zero */
} vzunzip_name_verdict;

#define VZUNZIP_NAME_MAX 255

/* Judges the length bytes at name (not zero terminated; a zero byte inside
 * is refused, so a name cannot be shortened behind our back). */
vzunzip_name_verdict vzunzip_name_check(const char *name, size_t length);

/* A short English reason for a verdict, for the helper's error line. */
const char *vzunzip_name_reason(vzunzip_name_verdict verdict);

#ifdef __cplusplus
}
#endif

#endif
