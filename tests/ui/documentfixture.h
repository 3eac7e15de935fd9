/* The window document loaded from the resources and published exactly as
 * the program does it, but bound to a controller double. */
#ifndef DOCUMENTFIXTURE_H
#define DOCUMENTFIXTURE_H

#include <QPoint>
#include <QQmlApplicationEngine>

#include "controllerdouble.h"

class QQuickItem;
class QQuickWindow;

class DocumentFixture
{
public:
    DocumentFixture();
    DocumentFixture(const DocumentFixture &) = delete;
    DocumentFixture &operator=(const DocumentFixture &) = delete;

    /* Loads the document and waits until its window is on screen; false
     * when it could not be created or never shows. */
    bool load();

    QQuickWindow *window() const;
    QObject *object(const char *name) const;
    QQuickItem *item(const char *name) const;
    /* The centre of the named element in window coordinates. */
    QPoint centreOf(const char *name) const;
    void click(const char *name);
    void clickAt(const QPoint &point);
    void moveTo(const QPoint &point);
    bool chooseMenu(const QString &title, const char *itemName);

    /* Declared before the engine so that the document goes first: its
     * bindings are then never evaluated against a vanished controller. */
    ControllerDouble controller;
    QQmlApplicationEngine engine;
};

#endif
