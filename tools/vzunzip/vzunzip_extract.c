#define _POSIX_C_SOURCE 200809L
#include "vzunzip_extract.h"
#include "vzunzip_name.h"

#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

typedef struct entry {
    zip_uint64_t index;
    const char *name;  /* owned by the archive handle */
    zip_uint64_t size; /* as declared, and as checked against the cap */
    char temp[48];     /* hidden name while being written */
    int temp_made;
    int placed;
} entry;

typedef struct job {
    zip_t *archive;
    int folder;
    entry *entries;
    zip_int64_t count;
    char *why;
    size_t why_size;
} job;

static vzunzip_result say(job *j, vzunzip_result result, const char *format, ...)
{
    if (j->why != NULL && j->why_size > 0) {
        va_list args;
        va_start(args, format);
        vsnprintf(j->why, j->why_size, format, args);
        va_end(args);
    }
    return result;
}

static vzunzip_result open_folder(job *j, const char *folder)
{
    j->folder = open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (j->folder < 0) {
        return say(j, VZUNZIP_FAILED, "cannot open folder %s: %s", folder, strerror(errno));
    }
    struct stat st;
    if (fstat(j->folder, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        return say(j, VZUNZIP_FAILED, "folder %s is not a directory of this user", folder);
    }
    return VZUNZIP_OK;
}

static vzunzip_result open_archive(job *j, const char *archive)
{
    int code = 0;
    /* The consistency check also refuses two entries of one name, which
     * would otherwise let the second silently replace the first. */
    j->archive = zip_open(archive, ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (j->archive != NULL) {
        return VZUNZIP_OK;
    }
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    int unreadable =
        code == ZIP_ER_OPEN || code == ZIP_ER_NOENT || code == ZIP_ER_READ || code == ZIP_ER_MEMORY;
    vzunzip_result result = say(j, unreadable ? VZUNZIP_FAILED : VZUNZIP_REFUSED,
                                "cannot open archive %s: %s", archive, zip_error_strerror(&error));
    zip_error_fini(&error);
    return result;
}

/* Only regular files: a link could point anywhere. Directory entries
 * already fail the name check by their trailing "/". */
static const char *kind_problem(job *j, zip_uint64_t index)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(j->archive, index, 0, &opsys, &attributes) != 0) {
        return "unreadable attributes";
    }
    if (opsys == ZIP_OPSYS_UNIX) {
        zip_uint32_t type = (attributes >> 16) & S_IFMT;
        if (type != 0 && type != S_IFREG) {
            return "a link or another kind of non-regular file";
        }
    }
    return NULL;
}

/* Judges the whole archive before a single byte is written. */
static vzunzip_result judge(job *j, uint64_t max_bytes)
{
    uint64_t total = 0;
    for (zip_int64_t k = 0; k < j->count; k++) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(j->archive, (zip_uint64_t)k, ZIP_FL_ENC_RAW, &st) != 0 ||
            (st.valid & (ZIP_STAT_NAME | ZIP_STAT_SIZE)) != (ZIP_STAT_NAME | ZIP_STAT_SIZE)) {
            return say(j, VZUNZIP_REFUSED, "entry %lld unreadable", (long long)k);
        }
        vzunzip_name_verdict verdict = vzunzip_name_check(st.name, strlen(st.name));
        if (verdict != VZUNZIP_NAME_OK) {
            return say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: %s", st.name, vzunzip_name_reason(verdict));
        }
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
            return say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: encrypted", st.name);
        }
        if (!(st.valid & ZIP_STAT_COMP_METHOD) || !zip_compression_method_supported(st.comp_method, 0)) {
            return say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: unsupported compression", st.name);
        }
        const char *problem = kind_problem(j, (zip_uint64_t)k);
        if (problem != NULL) {
            return say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: %s", st.name, problem);
        }
        if (st.size > max_bytes - total) {
            return say(j, VZUNZIP_REFUSED, "archive refused: more than %llu bytes",
                       (unsigned long long)max_bytes);
        }
        total += st.size;
        j->entries[k].index = (zip_uint64_t)k;
        j->entries[k].name = st.name;
        j->entries[k].size = st.size;
    }
    return VZUNZIP_OK;
}

static int write_all(int fd, const char *bytes, size_t length)
{
    while (length > 0) {
        ssize_t n = write(fd, bytes, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return -1;
        }
        bytes += n;
        length -= (size_t)n;
    }
    return 0;
}

/* A fresh hidden file; O_EXCL and O_NOFOLLOW so that nothing planted under
 * that name is followed or reused. A leftover of an earlier run with the
 * same process id is ours and is replaced once. */
static int create_temp(job *j, entry *e, zip_int64_t k)
{
    snprintf(e->temp, sizeof e->temp, ".vzunzip-%ld-%lld", (long)getpid(), (long long)k);
    for (int attempt = 0; attempt < 2; attempt++) {
        int fd = openat(j->folder, e->temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            e->temp_made = 1;
            return fd;
        }
        if (errno != EEXIST || unlinkat(j->folder, e->temp, 0) != 0) {
            break;
        }
    }
    return -1;
}

/* Copies one entry; its size must match what the archive declared, which
 * is what the total cap was checked against. */
static vzunzip_result copy_entry(job *j, entry *e, zip_int64_t k)
{
    zip_uint64_t declared = e->size;
    int fd = create_temp(j, e, k);
    if (fd < 0) {
        return say(j, VZUNZIP_FAILED, "cannot create a file in the folder: %s", strerror(errno));
    }
    zip_file_t *file = zip_fopen_index(j->archive, e->index, 0);
    if (file == NULL) {
        close(fd);
        return say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: %s", e->name, zip_strerror(j->archive));
    }
    vzunzip_result result = VZUNZIP_OK;
    zip_uint64_t written = 0;
    char buffer[65536];
    for (;;) {
        zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
        if (got < 0) {
            result = say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: %s", e->name, zip_file_strerror(file));
            break;
        }
        if (got == 0) {
            break;
        }
        if ((zip_uint64_t)got > declared - written) {
            result = say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: longer than declared", e->name);
            break;
        }
        if (write_all(fd, buffer, (size_t)got) != 0) {
            result = say(j, VZUNZIP_FAILED, "cannot write \"%s\": %s", e->name, strerror(errno));
            break;
        }
        written += (zip_uint64_t)got;
    }
    if (result == VZUNZIP_OK && written != declared) {
        result = say(j, VZUNZIP_REFUSED, "entry \"%s\" refused: shorter than declared", e->name);
    }
    zip_fclose(file);
    if (close(fd) != 0 && result == VZUNZIP_OK) {
        result = say(j, VZUNZIP_FAILED, "cannot write \"%s\": %s", e->name, strerror(errno));
    }
    return result;
}

static vzunzip_result copy_all(job *j)
{
    for (zip_int64_t k = 0; k < j->count; k++) {
        vzunzip_result result = copy_entry(j, &j->entries[k], k);
        if (result != VZUNZIP_OK) {
            return result;
        }
    }
    return VZUNZIP_OK;
}

/* rename() replaces a link in the folder rather than following it. */
static vzunzip_result place_all(job *j)
{
    for (zip_int64_t k = 0; k < j->count; k++) {
        entry *e = &j->entries[k];
        if (renameat(j->folder, e->temp, j->folder, e->name) != 0) {
            return say(j, VZUNZIP_FAILED, "cannot place \"%s\": %s", e->name, strerror(errno));
        }
        e->temp_made = 0;
        e->placed = 1;
    }
    return VZUNZIP_OK;
}

/* After a failure: nothing of this archive stays behind. */
static void undo(job *j)
{
    for (zip_int64_t k = 0; k < j->count; k++) {
        entry *e = &j->entries[k];
        if (e->temp_made) {
            unlinkat(j->folder, e->temp, 0);
        }
        if (e->placed) {
            unlinkat(j->folder, e->name, 0);
        }
    }
}

static vzunzip_result run(job *j, const char *archive, const char *folder, uint64_t max_bytes)
{
    vzunzip_result result = open_folder(j, folder);
    if (result == VZUNZIP_OK) {
        result = open_archive(j, archive);
    }
    if (result != VZUNZIP_OK) {
        return result;
    }
    j->count = zip_get_num_entries(j->archive, 0);
    if (j->count < 0 || j->count > VZUNZIP_MAX_ENTRIES) {
        return say(j, VZUNZIP_REFUSED, "archive refused: more than %d entries", VZUNZIP_MAX_ENTRIES);
    }
    j->entries = calloc((size_t)j->count + 1, sizeof *j->entries);
    if (j->entries == NULL) {
        return say(j, VZUNZIP_FAILED, "out of memory");
    }
    result = judge(j, max_bytes);
    if (result == VZUNZIP_OK) {
        result = copy_all(j);
    }
    if (result == VZUNZIP_OK) {
        result = place_all(j);
    }
    if (result != VZUNZIP_OK) {
        undo(j);
    }
    return result;
}

vzunzip_result vzunzip_extract(const char *archive, const char *folder, uint64_t max_bytes, char *why,
                               size_t why_size)
{
    job j = {NULL, -1, NULL, 0, why, why_size};
    if (why != NULL && why_size > 0) {
        why[0] = '\0';
    }
    vzunzip_result result = run(&j, archive, folder, max_bytes);
    free(j.entries);
    if (j.archive != NULL) {
        zip_discard(j.archive);
    }
    if (j.folder >= 0) {
        close(j.folder);
    }
    return result;
}
