/* Drives a window of the document like a user: finds its elements by
 * object name, clicks them, and picks entries from its menu bar. */
#ifndef WINDOWDRIVER_H
#define WINDOWDRIVER_H

#include <QPoint>
#include <QString>

class QObject;
class QQuickItem;
class QQuickWindow;

QObject *findObject(QQuickWindow *window, const char *name);
QQuickItem *findItem(QQuickWindow *window, const char *name);
/* The item's centre in window coordinates. */
QPoint centreOf(const QQuickItem *item);
void clickAt(QQuickWindow *window, const QPoint &point);

/* Opens the menu-bar entry captioned title and clicks the item named
 * itemName in it. False when either is missing or the menu does not open. */
bool chooseMenu(QQuickWindow *window, const QString &title, const char *itemName);

#endif
