/* Runs the four update transactions on a thread of their own while the
 * calling thread keeps one line of progress up to date: the phase by the
 * recorder's status and how far it has gone. */
#ifndef VZQUERY_UPDATE_PROGRESS_H
#define VZQUERY_UPDATE_PROGRESS_H

#include <stdint.h>
#include <stdio.h>

#include "vzmsg_devs_midi_win.h"

/* The recorder's last status when all transactions succeeded or one failed
 * (the library keeps it); *completed tells whether all four succeeded.
 * Answers 1 when no thread could be started. */
int update_run(vzmsg_dev_t *dev, const uint8_t *image, uint32_t length, FILE *display, uint32_t *status,
               int *completed);

#endif
