/* The steps of the program's start-up that do not depend on the controller:
 * the catalog for the user's language, the names published to the
 * user-interface document, and the watch over the document's creation. */
#ifndef STARTUP_H
#define STARTUP_H

class QCoreApplication;
class QObject;
class QQmlApplicationEngine;
class QString;
class QTranslator;
class QUrl;

/* Where no OpenGL context can be made (a remote or virtual desktop, a
 * machine without a working driver) the window is drawn in software rather
 * than the program ending before it shows. QT_QUICK_BACKEND still decides
 * when it is set. Needs the application object. */
void chooseSceneGraph();

/* The user-interface document inside the resources. */
QUrl documentUrl();

/* Loads the catalog for localeName (for example "ja_JP", falling back to
 * "ja") from the resources and installs it in app when one was found; logs
 * the outcome, then the catalog's path and language. Returns whether a
 * catalog was installed. */
bool installTranslation(QCoreApplication &app, QTranslator &translator, const QString &localeName);

/* Makes known to the engine every name the document binds to: the
 * controller, the enum constants and the platform flags. */
void publishController(QQmlApplicationEngine &engine, QObject *controller);

/* Ends the event loop with -1 once the engine reports that the document at
 * url could not be created. */
void quitWhenDocumentFails(QQmlApplicationEngine &engine, const QUrl &url);

#endif
