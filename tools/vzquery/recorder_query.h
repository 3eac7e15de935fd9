/* The recorder's answers about itself, asked as the updater asks them:
 * one request, its reply read with receives retried only on port errors. */
#ifndef VZQUERY_RECORDER_QUERY_H
#define VZQUERY_RECORDER_QUERY_H

#include <stdint.h>

#include "vzmsg_devs_midi_win.h"

#define RECORDER_TEXT_SIZE 256

/* Every item a reply carried is kept; a later reply replaces it. */
struct recorder_info {
    uint32_t protocol;
    uint32_t version; /* hundredths */
    uint32_t build;
    uint32_t battery;                 /* 0: no usable battery */
    char product[RECORDER_TEXT_SIZE]; /* the model text, as sent */
    char serial[RECORDER_TEXT_SIZE];
};

/* Told about every item of a reply, as it is read; may be null. */
typedef void (*recorder_item_fn)(uint32_t code, uint32_t type, uint64_t value, uint16_t size);

/* Sends the request for item code and reads the reply into info; answers
 * whether the reply held any item. */
int recorder_query(vzmsg_dev_t *dev, uint8_t code, struct recorder_info *info, recorder_item_fn show);

#endif
