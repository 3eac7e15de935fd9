/* The window document, loaded from the resources and published exactly as
 * the program does it but bound to a controller double, and the means to
 * drive a window of it like a user: find elements by object name, click
 * them, pick entries from the menu bar. */
#ifndef DOCUMENTFIXTURE_H
#define DOCUMENTFIXTURE_H

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QUrl>

#include "controllerdouble.h"
#include "startup.h"

#include <algorithm>

template <class T = QQuickItem> T *find(QQuickWindow *window, const char *name)
{
    return window ? window->findChild<T *>(QLatin1String(name)) : nullptr;
}

/* The item's centre in window coordinates. */
inline QPoint centreOf(const QQuickItem *item)
{
    return item ? item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint() : QPoint(-1, -1);
}

/* Opens the menu-bar entry captioned title and clicks the item named
 * itemName in it. False when either is missing or the menu does not open. */
inline bool chooseMenu(QQuickWindow *window, const QString &title, const char *itemName)
{
    const QList<QQuickItem *> items = window->findChildren<QQuickItem *>();
    const auto entry = std::find_if(items.begin(), items.end(), [&](const QQuickItem *item) {
        return item->inherits("QQuickMenuBarItem") && item->property("text").toString() == title;
    });
    if (entry == items.end())
        return false;
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(*entry));
    QObject *menu = (*entry)->property("menu").value<QObject *>();
    if (!QTest::qWaitFor([menu] { return menu->property("opened").toBool(); }) || !find(window, itemName))
        return false;
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(find(window, itemName)));
    return true;
}

struct DocumentFixture {
    /* Loads the document and waits until its window is on screen; false
     * when it could not be created or never shows. */
    bool load()
    {
        // Named as the program names it: the file dialog keeps its settings there.
        QCoreApplication::setOrganizationName(QStringLiteral("somename"));
        publishController(engine, &controller);
        engine.load(documentUrl());
        return window() && QTest::qWaitForWindowExposed(window());
    }
    QQuickWindow *window() const
    {
        const QList<QObject *> roots = engine.rootObjects();
        return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
    }
    QQuickItem *item(const char *name) const { return find(window(), name); }
    void click(const char *name)
    {
        QTest::mouseClick(window(), Qt::LeftButton, Qt::NoModifier, centreOf(item(name)));
    }

    /* Declared before the engine so that the document goes first: its
     * bindings are then never evaluated against a vanished controller. */
    ControllerDouble controller;
    QQmlApplicationEngine engine;
};

#endif
