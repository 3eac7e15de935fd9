// What the user interface reads from the controller, and the texts it
// expects there when every text is marked by MarkingTranslator.
#ifndef CONTROLLERVIEW_H
#define CONTROLLERVIEW_H

#include <QTest>
#include <QUrl>

#include "mainwindow.h"
#include "testsupport.h"

inline QString label(const MainWindow &window, int index)
{
    return window.property("label").value<QList<QString>>().value(index);
}
inline bool flag(const MainWindow &window, const char *name)
{
    return window.property(name).toBool();
}
// A controller text as translated; two sentences are joined by a line break.
inline QString mw(const char *text, const char *second = nullptr)
{
    return marked("MainWindow", QString::fromUtf8(text)) + (second ? '\n' + mw(second) : QString());
}
inline QString wrongFirmwareText()
{
    return mw("This firmware cannot be used to update this device.", "Please use the correct file.");
}
inline QString deviceRecognitionText()
{
    return mw("Device recognition failed.", "Restart the device's power once and try again.");
}
inline QString question(const QString &from, const QString &to)
{
    return mw("Update the firmware from ") + "V" + from + mw(" to ") + "V" + to + mw("?");
}
// After the first poll, the file choice, which normally asks the first question.
inline void choose(MainWindow &window, const QString &path)
{
    QTRY_VERIFY(label(window, Qt_Enum::LABEL_DEVICE_VERSION) != "---");
    window.selectFirmware(QUrl::fromLocalFile(path).toString());
}
// Both Yes answers; the start checks run inside the second.
inline void confirm(MainWindow &window)
{
    QVERIFY(flag(window, "popup"));
    window.setPopupEnable(true);
    window.setPopupEnable(true);
}
inline QString downgradeText(const QString &from, const QString &to)
{
    return mw("Updating to an older firmware version") + "\n(V" + from + mw(" to ") + "V" + to + ")" +
           mw("is not possible.");
}

#endif
