/* The program's run from naming the organisation to the end of the event
 * loop; main only sets up the application object before it. */
#ifndef RUNUPDATER_H
#define RUNUPDATER_H

class QGuiApplication;
class QUrl;

/* Installs the log handler and the catalog, publishes a new controller to
 * the document at document, loads it and runs the event loop; the objects
 * are torn down in the reverse order. Returns the event loop's result, -1
 * when the document could not be created. */
int runUpdater(QGuiApplication &app, const QUrl &document);

#endif
