/* vzquery update: the firmware update from the command line, with the same
 * checks as the window before anything is sent. */
#ifndef VZQUERY_UPDATE_H
#define VZQUERY_UPDATE_H

/* Exit statuses, one per kind of refusal or failure. */
enum update_exit {
    UPDATE_EXIT_COMPLETE = 0,       /* the recorder reported "complete" */
    UPDATE_EXIT_NO_RECORDER = 1,    /* no port, or the recorder did not answer a query */
    UPDATE_EXIT_USAGE = 2,          /* bad command line */
    UPDATE_EXIT_NO_IMAGE = 3,       /* the image file cannot be read */
    UPDATE_EXIT_BAD_IMAGE = 4,      /* too short, wrong checksum, or no product code */
    UPDATE_EXIT_PROTOCOL = 5,       /* the recorder speaks another protocol version */
    UPDATE_EXIT_BATTERY = 6,        /* no usable battery */
    UPDATE_EXIT_PRODUCT = 7,        /* the image is for another product */
    UPDATE_EXIT_OLDER = 8,          /* the image is older than the recorder's firmware */
    UPDATE_EXIT_RECORDER_ERROR = 9, /* the recorder ended the update with an error status */
    UPDATE_EXIT_BROKEN_OFF = 10,    /* the update stopped without the recorder's error */
};

/* The arguments after "update"; answers the exit status. */
int vzquery_update(int argc, char **argv);

#endif
