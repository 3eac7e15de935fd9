#include "documentfixture.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include "startup.h"
#include "windowdriver.h"

DocumentFixture::DocumentFixture()
{
    publishController(engine, &controller);
}

bool DocumentFixture::load()
{
    engine.load(documentUrl());
    return window() && QTest::qWaitForWindowExposed(window());
}

QQuickWindow *DocumentFixture::window() const
{
    const QList<QObject *> roots = engine.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
}

QObject *DocumentFixture::object(const char *name) const
{
    return findObject(window(), name);
}

QQuickItem *DocumentFixture::item(const char *name) const
{
    return findItem(window(), name);
}

QPoint DocumentFixture::centreOf(const char *name) const
{
    return ::centreOf(item(name));
}

void DocumentFixture::click(const char *name)
{
    clickAt(centreOf(name));
}

void DocumentFixture::clickAt(const QPoint &point)
{
    ::clickAt(window(), point);
}

void DocumentFixture::moveTo(const QPoint &point)
{
    QTest::mouseMove(window(), point);
}

bool DocumentFixture::chooseMenu(const QString &title, const char *itemName)
{
    return ::chooseMenu(window(), title, itemName);
}
