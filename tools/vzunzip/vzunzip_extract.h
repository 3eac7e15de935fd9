/* Safe extraction of a downloaded firmware archive into the download
 * folder: every entry must be a plain file named without any path, the
 * whole archive is judged before anything is written, each file is written
 * under a hidden temporary name and renamed into place only when every
 * entry has been read back complete, and the bytes written are capped. */
#ifndef VZUNZIP_EXTRACT_H
#define VZUNZIP_EXTRACT_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef enum vzunzip_result {
    VZUNZIP_OK = 0,      /* every entry is in the folder */
    VZUNZIP_FAILED = 1,  /* the archive or the folder could not be used (I/O) */
    VZUNZIP_REFUSED = 2, /* the archive is corrupt, unsafe or too large */
} vzunzip_result;

/* Well above a real firmware archive, well below a disk. */
#define VZUNZIP_DEFAULT_MAX_BYTES (512ull * 1024ull * 1024ull)
/* A firmware archive holds an image and a few notes. */
#define VZUNZIP_MAX_ENTRIES 256

/* Extracts archive into folder, writing at most max_bytes in total.
 * folder must be an existing directory owned by the caller, not a link.
 * On any result other than VZUNZIP_OK nothing new is left in the folder.
 * why (caller-owned, may be null) receives a one-line English reason. */
vzunzip_result vzunzip_extract(const char *archive, const char *folder, uint64_t max_bytes, char *why,
                               size_t why_size);

#ifdef __cplusplus
}
#endif

#endif
