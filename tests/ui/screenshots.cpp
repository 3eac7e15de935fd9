/* Renders the window offscreen in its main states, in English and in
 * Japanese, as PNG files: vzscreenshots <output folder>. The controller is
 * a double put straight into each state, with the texts the real controller
 * would show, translated through the program's own catalogs. */
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <QTranslator>

#include <functional>

#include "documentfixture.h"
#include "qt_enum.h"

namespace
{

QString tr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

/* What the controller shows right after start-up. */
void showNoRecorder(ControllerDouble &controller)
{
    controller.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Please connect the device."));
    controller.setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Start updating"));
}

void showRecorderWithUpdate(ControllerDouble &controller)
{
    controller.setLabel(Qt_Enum::LABEL_DEVICE_VERSION, QStringLiteral("Ver. 1.00 Build 39"));
    controller.setLabel(Qt_Enum::LABEL_DEVICE_SERIALNO, QStringLiteral("Q7A004711"));
    controller.setLabel(Qt_Enum::LABEL_ROM_VERSION, QStringLiteral("Ver. 1.02 Build 41"));
    controller.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("The latest firmware is available for update."));
    controller.setProperty("web", true);
    controller.setProperty("update", true);
}

QString licenceText()
{
    QFile file(QStringLiteral(":/res/LICENSE.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    return stream.readAll().remove(QChar(0x0C));
}

struct State {
    const char *name;
    std::function<void(ControllerDouble &)> apply;
};

const State states[] = {
    {"no-recorder", [](ControllerDouble &) {}},
    {"update-offered", showRecorderWithUpdate},
    {"question",
     [](ControllerDouble &c) {
         showRecorderWithUpdate(c);
         c.setLabel(Qt_Enum::LABEL_POPUP, tr("Update the firmware from ") + QStringLiteral("V1.00") +
                                              tr(" to ") + QStringLiteral("V1.02") + tr("?"));
         c.setProperty("popup", true);
     }},
    {"error",
     [](ControllerDouble &c) {
         showRecorderWithUpdate(c);
         c.setLabel(Qt_Enum::LABEL_ERROR, tr("An error occurred while updating.") + QLatin1Char('\n') +
                                              tr("Restart the device's power once and try again."));
         c.setProperty("error", true);
     }},
    {"updating-50",
     [](ControllerDouble &c) {
         showRecorderWithUpdate(c);
         c.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Updating..."));
         c.setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Updating..."));
         c.setProperty("update", false);
         c.setProperty("updating", true);
         c.setProperty("progress", 50);
     }},
    {"complete",
     [](ControllerDouble &c) {
         showRecorderWithUpdate(c);
         c.setLabel(Qt_Enum::LABEL_CHECK, tr("Update complete"));
         c.setProperty("update", false);
         c.setProperty("check", true);
     }},
    {"license",
     [](ControllerDouble &c) {
         c.setLabel(Qt_Enum::LABEL_LICENSE, licenceText());
         c.setProperty("license", true);
     }},
};

/* The window as it is on screen once the latest change has been drawn. */
QImage grab(QQuickWindow *window)
{
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    drawn.wait(5000);
    return QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage();
}

bool save(const QImage &image, const QString &path)
{
    if (image.isNull() || !image.save(path)) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << path << Qt::endl;
    return true;
}

bool shootLanguage(const QString &language, const QString &folder)
{
    bool ok = true;
    for (const State &state : states) {
        DocumentFixture ui;
        if (!ui.load())
            return false;
        showNoRecorder(ui.controller);
        state.apply(ui.controller);
        const QString name = language + QLatin1Char('-') + QLatin1String(state.name) + QStringLiteral(".png");
        ok = save(grab(ui.window()), QDir(folder).filePath(name)) && ok;
    }

    DocumentFixture ui;
    if (!ui.load() || !ui.chooseMenu(QCoreApplication::translate("mainwindow", "Help"), "aboutItem"))
        return false;
    auto *about = qobject_cast<QQuickWindow *>(ui.object("aboutWindow"));
    if (!about || !QTest::qWaitForWindowExposed(about))
        return false;
    return save(grab(about), QDir(folder).filePath(language + QStringLiteral("-about.png"))) && ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("somename"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("somename"));
    if (argc != 2) {
        QTextStream(stderr) << "usage: vzscreenshots <output folder>" << Qt::endl;
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder))
        return 1;

    bool ok = shootLanguage(QStringLiteral("en"), folder);
    QTranslator japanese;
    if (!japanese.load(QStringLiteral(":/Translation/translate_ja.qm")))
        return 1;
    QCoreApplication::installTranslator(&japanese);
    ok = shootLanguage(QStringLiteral("ja"), folder) && ok;
    return ok ? 0 : 1;
}
