/* One process-wide time scale for the application's fixed waits: the three
 * controller timers, the worker's pause before an update and the message
 * library's sleeps. Production runs with the factor 1; the test suite
 * shrinks it so that minutes of recorder pacing pass in seconds. */
#ifndef APPTIMING_H
#define APPTIMING_H

class AppTiming
{
public:
    AppTiming() = delete;

    static double scale();
    /* A factor other than 1 also routes the library's sleeps through the
     * scale; 1 restores the library's own sleep. Factors of 0 or below are
     * refused (returns false, nothing changes). */
    static bool setScale(double factor);
    /* milliseconds times the scale; a positive wait never shrinks to 0. */
    static int scaled(int milliseconds);
};

#endif
