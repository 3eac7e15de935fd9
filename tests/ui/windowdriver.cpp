#include "windowdriver.h"

#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QVariant>

QObject *findObject(QQuickWindow *window, const char *name)
{
    return window ? window->findChild<QObject *>(QLatin1String(name)) : nullptr;
}

QQuickItem *findItem(QQuickWindow *window, const char *name)
{
    return qobject_cast<QQuickItem *>(findObject(window, name));
}

QPoint centreOf(const QQuickItem *item)
{
    if (!item)
        return QPoint(-1, -1);
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

void clickAt(QQuickWindow *window, const QPoint &point)
{
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, point);
}

namespace
{

QQuickItem *menuBarEntry(QQuickWindow *window, const QString &title)
{
    QObject *bar = findObject(window, "menuBar");
    const int count = bar ? bar->property("count").toInt() : 0;
    for (int i = 0; i < count; ++i) {
        QQuickItem *entry = nullptr;
        QMetaObject::invokeMethod(bar, "itemAt", Q_RETURN_ARG(QQuickItem *, entry), Q_ARG(int, i));
        if (entry && entry->property("text").toString() == title)
            return entry;
    }
    return nullptr;
}

} // namespace

bool chooseMenu(QQuickWindow *window, const QString &title, const char *itemName)
{
    QQuickItem *entry = menuBarEntry(window, title);
    if (!entry)
        return false;
    clickAt(window, centreOf(entry));
    QObject *menu = entry->property("menu").value<QObject *>();
    if (!menu || !QTest::qWaitFor([menu] { return menu->property("opened").toBool(); }))
        return false;
    QQuickItem *item = findItem(window, itemName);
    if (!item)
        return false;
    clickAt(window, centreOf(item));
    return true;
}
