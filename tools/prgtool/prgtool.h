/* The commands of prgtool; each answers the process exit code. */
#ifndef PRGTOOL_H
#define PRGTOOL_H

/* Exit codes. */
#define PRGTOOL_OK 0
#define PRGTOOL_FAILED 1 /* the check failed or the operation could not be done */
#define PRGTOOL_USAGE 2  /* bad command line */

/* argv holds the words after "build". */
int prgtool_build(int argc, char **argv);

#endif
