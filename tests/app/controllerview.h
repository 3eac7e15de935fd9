// What the user interface reads from the controller, and the texts it
// expects there when every text is marked by MarkingTranslator.
#ifndef CONTROLLERVIEW_H
#define CONTROLLERVIEW_H

#include <QList>
#include <QString>

#include "mainwindow.h"
#include "testsupport.h"

inline QList<QString> labels(const MainWindow &window)
{
    return window.property("label").value<QList<QString>>();
}

inline QString label(const MainWindow &window, int index)
{
    return labels(window).value(index);
}

inline bool flag(const MainWindow &window, const char *name)
{
    return window.property(name).toBool();
}

// A controller text as translated.
inline QString mw(const char *text)
{
    return marked("MainWindow", QString::fromUtf8(text));
}

inline QString twoSentences(const char *first, const char *second)
{
    return mw(first) + "\n" + mw(second);
}

inline QString wrongFirmwareText()
{
    return twoSentences("This firmware cannot be used to update this device.",
                        "Please use the correct file.");
}

inline QString deviceRecognitionText()
{
    return twoSentences("Device recognition failed.", "Restart the device's power once and try again.");
}

inline QString downgradeText(const QString &from, const QString &to)
{
    return mw("Updating to an older firmware version") + "\n(V" + from + mw(" to ") + "V" + to + ")" +
           mw("is not possible.");
}

#endif
