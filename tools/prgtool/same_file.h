/* Whether two paths name one file, so that a tool never writes over its input. */
#ifndef SAME_FILE_H
#define SAME_FILE_H

/* 1 when both paths exist and are the same file (also through links or
 * another spelling of the path), 0 otherwise. */
int same_file(const char *a, const char *b);

#endif
