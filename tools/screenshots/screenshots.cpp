/* Renders the window offscreen in its main states, in English and in
 * Japanese, as PNG files: vzscreenshots <output folder>. The controller is
 * a double put straight into each state, with the texts the real controller
 * would show, translated through the program's own catalogs. */
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTextStream>
#include <QTranslator>

#include "documentfixture.h"

namespace
{

QString tr(const char *source)
{
    return QCoreApplication::translate("MainWindow", source);
}

QString licenceText()
{
    QFile file(QStringLiteral(":/res/LICENSE.txt"));
    file.open(QIODevice::ReadOnly);
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    return stream.readAll().remove(QChar(0x0C));
}

const char *const states[] = {"no-recorder", "update-offered", "question", "error",
                              "updating-50", "complete",       "license"};

/* Puts the controller into the named state, from what it shows right after
 * start-up; the texts are those the real controller would show. */
void show(ControllerDouble &c, const QString &state)
{
    c.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Please connect the device."));
    c.setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Start updating"));
    if (state == QLatin1String("license")) {
        c.setLabel(Qt_Enum::LABEL_LICENSE, licenceText());
        c.setProperty("license", true);
    }
    if (state == QLatin1String("no-recorder") || state == QLatin1String("license"))
        return;
    c.setLabel(Qt_Enum::LABEL_DEVICE_VERSION, QStringLiteral("Ver. 1.00 Build 39"));
    c.setLabel(Qt_Enum::LABEL_DEVICE_SERIALNO, QStringLiteral("Q7A004711"));
    c.setLabel(Qt_Enum::LABEL_ROM_VERSION, QStringLiteral("Ver. 1.02 Build 41"));
    c.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("The latest firmware is available for update."));
    c.setProperty("web", true);
    c.setProperty("update", state == QLatin1String("update-offered") || state == QLatin1String("question") ||
                                state == QLatin1String("error"));
    if (state == QLatin1String("question")) {
        c.setLabel(Qt_Enum::LABEL_POPUP, tr("Update the firmware from ") + QStringLiteral("V1.00") +
                                             tr(" to ") + QStringLiteral("V1.02") + tr("?"));
        c.setProperty("popup", true);
    } else if (state == QLatin1String("error")) {
        c.setLabel(Qt_Enum::LABEL_ERROR, tr("An error occurred while updating.") + QLatin1Char('\n') +
                                             tr("Restart the device's power once and try again."));
        c.setProperty("error", true);
    } else if (state == QLatin1String("updating-50")) {
        c.setLabel(Qt_Enum::LABEL_DEVICE_STATUS, tr("Updating..."));
        c.setLabel(Qt_Enum::LABEL_FWUPDATE, tr("Updating..."));
        c.setProperty("updating", true);
        c.setProperty("progress", 50);
    } else if (state == QLatin1String("complete")) {
        c.setLabel(Qt_Enum::LABEL_CHECK, tr("Update complete"));
        c.setProperty("check", true);
    }
}

/* Saves the window as it is on screen once the latest change has been drawn. */
bool shoot(QQuickWindow *window, const QString &path)
{
    QSignalSpy drawn(window, &QQuickWindow::frameSwapped);
    window->update();
    drawn.wait(5000);
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage();
    if (image.isNull() || !image.save(path)) {
        QTextStream(stderr) << "cannot write " << path << Qt::endl;
        return false;
    }
    QTextStream(stdout) << path << Qt::endl;
    return true;
}

bool shootLanguage(const QString &language, const QDir &folder)
{
    bool ok = true;
    for (const char *state : states) {
        DocumentFixture ui;
        if (!ui.load())
            return false;
        show(ui.controller, QLatin1String(state));
        const QString name = QStringLiteral("%1-%2.png").arg(language, QLatin1String(state));
        ok = shoot(ui.window(), folder.filePath(name)) && ok;
    }
    DocumentFixture ui;
    if (!ui.load() ||
        !chooseMenu(ui.window(), QCoreApplication::translate("mainwindow", "Help"), "aboutItem"))
        return false;
    auto *about = find<QQuickWindow>(ui.window(), "aboutWindow");
    if (!about || !QTest::qWaitForWindowExposed(about))
        return false;
    return shoot(about, folder.filePath(language + QStringLiteral("-about.png"))) && ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
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
