#include "vzunzip_name.h"

vzunzip_name_verdict vzunzip_name_check(const char *name, size_t length)
{
    if (length == 0) {
        return VZUNZIP_NAME_EMPTY;
    }
    if (length > VZUNZIP_NAME_MAX) {
        return VZUNZIP_NAME_TOO_LONG;
    }
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)name[i];
        if (c == '/' || c == '\\') {
            return VZUNZIP_NAME_DIRECTORY;
        }
        if (c == ':') {
            return VZUNZIP_NAME_DRIVE;
        }
        if (c < 0x20 || c == 0x7f) {
            return VZUNZIP_NAME_CONTROL;
        }
    }
    /* A leading dot covers ".", ".." and hidden files; the program never
     * lists hidden files, so they would only pile up unseen. */
    if (name[0] == '.') {
        return VZUNZIP_NAME_DOT;
    }
    return VZUNZIP_NAME_OK;
}

const char *vzunzip_name_reason(vzunzip_name_verdict verdict)
{
    switch (verdict) {
    case VZUNZIP_NAME_OK:
        return "acceptable";
    case VZUNZIP_NAME_EMPTY:
        return "empty name";
    case VZUNZIP_NAME_TOO_LONG:
        return "name too long";
    case VZUNZIP_NAME_DIRECTORY:
        return "name has a directory part";
    case VZUNZIP_NAME_DRIVE:
        return "name has a drive or stream part";
    case VZUNZIP_NAME_DOT:
        return "dot or hidden name";
    case VZUNZIP_NAME_CONTROL:
        return "control character in name";
    }
    return "unknown";
}
