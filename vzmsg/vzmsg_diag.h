/* The library's diagnostic line: relative source path, line, "ERROR". */
#ifndef VZMSG_DIAG_H
#define VZMSG_DIAG_H

#include <stdio.h>

/* The build maps the source directory away (-fmacro-prefix-map), so
 * __FILE__ is the path relative to the project root. */
#define VZMSG_ERROR_LINE() printf("%s:%d:ERROR\n", __FILE__, __LINE__)

#endif
