/* The window document against a controller double: what it shows for each
 * controller state, and which controller call each click makes. */
#include <QColor>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QUrl>

#include <memory>

#include "documentfixture.h"
#include "qt_enum.h"

namespace
{

const QColor accentBlue("#0092E5");
const QColor panelGrey("#353535");
const QColor white("#FFFFFF");
const QColor disabledText("#969696");

QString startUpdateCheck()
{
    return QStringLiteral("startUpdate(%1)").arg(int(Qt_Enum::UPDATE_CHECK));
}

QString goLinkCall(int target)
{
    return QStringLiteral("goLink(%1)").arg(target);
}

/* The area below the menu bar that the document's elements are laid out in. */
QQuickItem *contentArea(const DocumentFixture &ui)
{
    return ui.window()->property("contentItem").value<QQuickItem *>();
}

QColor colorOf(const QObject *object)
{
    return object->property("color").value<QColor>();
}

/* A text that wraps to many lines in a 380 pixel wide pop-up. */
QString longText(int sentences)
{
    QStringList lines;
    for (int i = 0; i < sentences; ++i)
        lines << QStringLiteral("Restart the device's power once and try again.");
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowFrame();
    void textsFollowTheCatalog_data();
    void textsFollowTheCatalog();
    void labelsShownWhereTheyBelong_data();
    void labelsShownWhereTheyBelong();
    void updateButton_data();
    void updateButton();
    void fileDialogHandsTheChosenFileOver();
    void progressBar_data();
    void progressBar();
    void popupsByState_data();
    void popupsByState();
    void popupButtons_data();
    void popupButtons();
    void popupHeights_data();
    void popupHeights();
    void longQuestionIsCutOff();
    void maskSwallowsClicksButNotTheMenuBar();
    void linksClickOnlyWithUpdateInformation_data();
    void linksClickOnlyWithUpdateInformation();
    void linkHover_data();
    void linkHover();
    void licenseViewCoversAllButTheLogos();
    void licenseViewBackAndEditing();
    void menuEntries();
    void aboutWindow();

private:
    std::unique_ptr<DocumentFixture> ui;
    void setFlags(const QStringList &names);
};

void TestDocument::initTestCase()
{
    // The file dialog keeps its settings per application.
    QCoreApplication::setOrganizationName(QStringLiteral("somename"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("somename"));
}

void TestDocument::init()
{
    ui = std::make_unique<DocumentFixture>();
    QVERIFY(ui->load());
}

void TestDocument::cleanup()
{
    ui.reset();
}

void TestDocument::setFlags(const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY2(ui->controller.setProperty(name.toLatin1().constData(), true), qPrintable(name));
}

void TestDocument::windowFrame()
{
    QQuickWindow *w = ui->window();
    QCOMPARE(w->size(), QSize(495, 400));
    QCOMPARE(w->minimumSize(), QSize(495, 400));
    QCOMPARE(w->maximumSize(), QSize(495, 400));
    // The content area below the menu bar is exactly the background photograph.
    QCOMPARE(contentArea(*ui)->size(), QSizeF(495, 360));
    QCOMPARE(w->title(), QStringLiteral("SORAVE Veldracorder Q7 Firmware Updater"));
    const Qt::WindowFlags flags = w->flags();
    QVERIFY(flags.testFlag(Qt::Dialog));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(colorOf(w), QColor("#4D4D4D"));
}

void TestDocument::textsFollowTheCatalog_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<QString>("source");

    QTest::newRow("window title") << "mainWindow"
                                  << "SORAVE Veldracorder Q7 Firmware Updater";
    QTest::newRow("information") << "informationTitle"
                                 << "Information";
    QTest::newRow("caption") << "latestCaption"
                             << "Downloaded:";
    QTest::newRow("release notes") << "releaseNotes"
                                   << "Release notes";
    QTest::newRow("serial number") << "serialCaption"
                                   << "Serial number";
    QTest::newRow("about") << "aboutWindow"
                           << "About this app";
}

void TestDocument::textsFollowTheCatalog()
{
    QFETCH(QString, element);
    QFETCH(QString, source);
    const char *property = element.endsWith(QLatin1String("Window")) ? "title" : "text";
    QObject *shown = element == QLatin1String("mainWindow") ? ui->window() : ui->object(qPrintable(element));
    QVERIFY(shown);
    QCOMPARE(shown->property(property).toString(), source);

    QTranslator japanese;
    QVERIFY(japanese.load(QStringLiteral(":/Translation/translate_ja.qm")));
    QCoreApplication::installTranslator(&japanese);
    ui->engine.retranslate();
    const QString translated = shown->property(property).toString();
    QCoreApplication::removeTranslator(&japanese);
    // The document's texts live in the "mainwindow" context of the catalog.
    const QString expected = japanese.translate("mainwindow", qPrintable(source));
    QVERIFY(!expected.isEmpty());
    QCOMPARE(translated, expected);
}

void TestDocument::labelsShownWhereTheyBelong_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("element");
    QTest::addColumn<QStringList>("flags");

    QTest::newRow("status") << int(Qt_Enum::LABEL_DEVICE_STATUS) << "statusText" << QStringList();
    QTest::newRow("recorder version")
        << int(Qt_Enum::LABEL_DEVICE_VERSION) << "currentVersion" << QStringList();
    QTest::newRow("firmware version") << int(Qt_Enum::LABEL_ROM_VERSION) << "latestVersion" << QStringList();
    QTest::newRow("serial number") << int(Qt_Enum::LABEL_DEVICE_SERIALNO) << "serialNumber" << QStringList();
    QTest::newRow("button caption") << int(Qt_Enum::LABEL_FWUPDATE) << "updateCaption" << QStringList();
    QTest::newRow("question") << int(Qt_Enum::LABEL_POPUP) << "questionText" << QStringList{"popup"};
    QTest::newRow("error") << int(Qt_Enum::LABEL_ERROR) << "messageText" << QStringList{"error"};
    QTest::newRow("information") << int(Qt_Enum::LABEL_CHECK) << "messageText" << QStringList{"check"};
    QTest::newRow("error over information")
        << int(Qt_Enum::LABEL_ERROR) << "messageText" << QStringList{"check", "error"};
    QTest::newRow("licence") << int(Qt_Enum::LABEL_LICENSE) << "licenseText" << QStringList{"license"};
}

void TestDocument::labelsShownWhereTheyBelong()
{
    QFETCH(int, index);
    QFETCH(QString, element);
    QFETCH(QStringList, flags);

    setFlags(flags);
    for (int i = 0; i < Qt_Enum::LABEL_NUM; ++i)
        ui->controller.setLabel(i, QStringLiteral("entry %1").arg(i));
    const QObject *shown = ui->object(element.toLatin1().constData());
    QVERIFY(shown);
    QCOMPARE(shown->property("text").toString(), QStringLiteral("entry %1").arg(index));

    // A later change reaches the window through the notify signal alone.
    ui->controller.setLabel(index, QStringLiteral("changed"));
    QCOMPARE(shown->property("text").toString(), QStringLiteral("changed"));
}

void TestDocument::updateButton_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("dialogOpens");

    QTest::newRow("disabled") << QStringList() << false << QStringList() << false;
    QTest::newRow("disabled with update information")
        << QStringList{"web"} << false << QStringList() << false;
    QTest::newRow("disabled with a loaded file")
        << QStringList{"downloaded"} << false << QStringList() << false;
    QTest::newRow("no firmware yet: pick a file") << QStringList{"update"} << true << QStringList() << true;
    QTest::newRow("announced online")
        << QStringList{"update", "web"} << true << QStringList{startUpdateCheck()} << false;
    QTest::newRow("file loaded") << QStringList{"update", "downloaded"} << true
                                 << QStringList{startUpdateCheck()} << false;
    QTest::newRow("both") << QStringList{"update", "web", "downloaded"} << true
                          << QStringList{startUpdateCheck()} << false;
}

void TestDocument::updateButton()
{
    QFETCH(QStringList, flags);
    QFETCH(bool, enabled);
    QFETCH(QStringList, calls);
    QFETCH(bool, dialogOpens);

    setFlags(flags);
    QCOMPARE(colorOf(ui->object("updateButton")), enabled ? accentBlue : panelGrey);
    QCOMPARE(colorOf(ui->object("updateCaption")), enabled ? white : disabledText);

    ui->click("updateButton");
    QCOMPARE(ui->controller.calls, calls);
    QObject *dialog = ui->object("fileDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->property("visible").toBool(), dialogOpens);
}

void TestDocument::fileDialogHandsTheChosenFileOver()
{
    QObject *dialog = ui->object("fileDialog");
    QVERIFY(dialog);
    QCOMPARE(dialog->property("title").toString(), QStringLiteral("Select the firmware file"));
    QVERIFY(dialog->property("selectExisting").toBool());
    QVERIFY(!dialog->property("selectMultiple").toBool());
    QVERIFY(!dialog->property("selectFolder").toBool());
    QCOMPARE(dialog->property("selectedNameFilterExtensions").toStringList(), QStringList{"*"});
    QCOMPARE(
        dialog->property("folder").toUrl(),
        QUrl::fromLocalFile(QStandardPaths::standardLocations(QStandardPaths::DesktopLocation).value(0)));

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("temp.102"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    // Cancelling calls nothing.
    setFlags({"update"});
    ui->click("updateButton");
    QVERIFY(dialog->property("visible").toBool());
    QVERIFY(QMetaObject::invokeMethod(dialog, "reject"));
    QVERIFY(!dialog->property("visible").toBool());
    QVERIFY(ui->controller.calls.isEmpty());

    // Accepting hands the file over as a file URL.
    ui->click("updateButton");
    bool added = false;
    QVERIFY(QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                      Q_ARG(QUrl, QUrl::fromLocalFile(path))));
    QVERIFY(added);
    QVERIFY(QMetaObject::invokeMethod(dialog, "accept"));
    QCOMPARE(ui->controller.calls, QStringList{QStringLiteral("selectFirmware(file://%1)").arg(path)});
    QVERIFY(ui->controller.calls.first().startsWith(QLatin1String("selectFirmware(file:///")));
}

void TestDocument::progressBar_data()
{
    QTest::addColumn<int>("percent");
    QTest::newRow("empty") << 0;
    QTest::newRow("half") << 50;
    QTest::newRow("odd") << 37;
    QTest::newRow("full") << 100;
}

void TestDocument::progressBar()
{
    QFETCH(int, percent);

    const QQuickItem *bar = ui->item("progressBar");
    const QQuickItem *fill = ui->item("progressFill");
    const QQuickItem *button = ui->item("updateButton");
    const QObject *text = ui->object("percentText");
    QVERIFY(bar && fill && button && text);
    QVERIFY(!bar->isVisible());
    QVERIFY(!text->property("visible").toBool());

    ui->controller.setProperty("progress", percent);
    setFlags({"updating"});
    QVERIFY(bar->isVisible());
    QVERIFY(!button->isVisible());
    QCOMPARE(bar->position(), button->position());
    QCOMPARE(bar->size(), button->size());
    QVERIFY(text->property("visible").toBool());

    QCOMPARE(fill->position(), QPointF(2, 2));
    QCOMPARE(fill->height(), bar->height() - 4);
    QCOMPARE(fill->width(), (bar->width() - 4) * percent / 100);
    QCOMPARE(text->property("text").toString(), QStringLiteral("%1%").arg(percent));
}

void TestDocument::popupsByState_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<bool>("question");
    QTest::addColumn<bool>("message");
    QTest::addColumn<bool>("title");

    QTest::newRow("none") << QStringList() << false << false << false;
    QTest::newRow("question") << QStringList{"popup"} << true << false << false;
    QTest::newRow("error") << QStringList{"error"} << false << true << true;
    QTest::newRow("information") << QStringList{"check"} << false << true << false;
    QTest::newRow("error and information") << QStringList{"error", "check"} << false << true << true;
    QTest::newRow("busy is not modal")
        << QStringList{"updating", "web", "license"} << false << false << false;
}

void TestDocument::popupsByState()
{
    QFETCH(QStringList, flags);
    QFETCH(bool, question);
    QFETCH(bool, message);
    QFETCH(bool, title);

    setFlags(flags);
    QCOMPARE(ui->item("mask")->isVisible(), question || message);
    QCOMPARE(ui->item("questionPopup")->isVisible(), question);
    QCOMPARE(ui->item("messagePopup")->isVisible(), message);
    QCOMPARE(ui->item("errorTitle")->isVisible(), title);
    if (title)
        QCOMPARE(ui->object("errorTitle")->property("text").toString(), QStringLiteral("Error"));
    // The pop-ups sit in the middle of the content area.
    const QSizeF area = contentArea(*ui)->size();
    for (const char *name : {"questionPopup", "messagePopup"}) {
        const QQuickItem *popup = ui->item(name);
        // Centring snaps to whole pixels.
        QVERIFY(qAbs(popup->x() + popup->width() / 2 - area.width() / 2) <= 0.5);
        QVERIFY(qAbs(popup->y() + popup->height() / 2 - area.height() / 2) <= 0.5);
        QCOMPARE(popup->width(), 400.0);
    }
}

void TestDocument::popupButtons_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("call");

    QTest::newRow("yes") << QStringList{"popup"} << "yesButton"
                         << "setPopupEnable(true)";
    QTest::newRow("no") << QStringList{"popup"} << "noButton"
                        << "setPopupEnable(false)";
    QTest::newRow("ok on an error") << QStringList{"error"} << "okButton"
                                    << "setError(false)";
    QTest::newRow("ok on information") << QStringList{"check"} << "okButton"
                                       << "setCheck(false)";
    QTest::newRow("ok while both are raised") << QStringList{"check", "error"} << "okButton"
                                              << "setError(false)";
}

void TestDocument::popupButtons()
{
    QFETCH(QStringList, flags);
    QFETCH(QString, button);
    QFETCH(QString, call);

    setFlags(flags);
    ui->click(button.toLatin1().constData());
    QCOMPARE(ui->controller.calls, QStringList{call});
}

void TestDocument::popupHeights_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one line") << QStringLiteral("Update complete");
    QTest::newRow("two sentences") << QStringLiteral(
        "Updating to an older firmware version\nis not possible.");
    QTest::newRow("five lines") << longText(5);
}

void TestDocument::popupHeights()
{
    QFETCH(QString, text);

    ui->controller.setLabel(Qt_Enum::LABEL_ERROR, text);
    ui->controller.setLabel(Qt_Enum::LABEL_CHECK, text);
    ui->controller.setLabel(Qt_Enum::LABEL_POPUP, text);
    const QQuickItem *message = ui->item("messagePopup");
    const QQuickItem *messageText = ui->item("messageText");

    setFlags({"check"});
    const qreal informationHeight = message->height();
    QCOMPARE(informationHeight, messageText->height() + 120);
    ui->controller.setProperty("check", false);
    setFlags({"error"});
    QCOMPARE(message->height() - informationHeight, 40.0);

    ui->controller.setProperty("error", false);
    setFlags({"popup"});
    QCOMPARE(ui->item("questionPopup")->height(), ui->item("questionText")->height() + 100);
}

void TestDocument::longQuestionIsCutOff()
{
    ui->controller.setLabel(Qt_Enum::LABEL_POPUP, longText(30));
    ui->controller.setLabel(Qt_Enum::LABEL_ERROR, longText(30));
    setFlags({"popup", "error"});
    QCOMPARE(ui->item("questionPopup")->height(), 400.0);
    QCOMPARE(ui->item("messagePopup")->height(), 400.0);

    // The text runs past its box, which clips it 80 pixels above the
    // pop-up's bottom so that the buttons stay clear.
    const QQuickItem *text = ui->item("questionText");
    const QQuickItem *box = text->parentItem();
    QVERIFY(box->clip());
    QCOMPARE(box->height(), 400.0 - 80);
    QVERIFY(text->y() + text->height() > box->height());
    ui->click("yesButton");
    QCOMPARE(ui->controller.calls, QStringList{"setPopupEnable(true)"});
}

void TestDocument::maskSwallowsClicksButNotTheMenuBar()
{
    setFlags({"update", "web", "popup"});
    QVERIFY(ui->item("mask")->isVisible());
    QCOMPARE(ui->item("mask")->size(), contentArea(*ui)->size());
    ui->click("updateButton");
    ui->click("releaseNotes");
    ui->click("productLogo");
    ui->clickAt(ui->centreOf("backControl"));
    QVERIFY(ui->controller.calls.isEmpty());

    QVERIFY(ui->chooseMenu(QStringLiteral("Help"), "licenseItem"));
    QCOMPARE(ui->controller.calls, QStringList{"openLicensePage()"});
}

void TestDocument::linksClickOnlyWithUpdateInformation_data()
{
    QTest::addColumn<QString>("element");
    QTest::addColumn<int>("target");
    QTest::newRow("release notes") << "releaseNotes" << int(Qt_Enum::LINK_RELEASE_NOTE);
    QTest::newRow("product logo") << "productLogo" << int(Qt_Enum::LINK_PRODUCT_HP);
}

void TestDocument::linksClickOnlyWithUpdateInformation()
{
    QFETCH(QString, element);
    QFETCH(int, target);
    const QByteArray name = element.toLatin1();

    // Drawn all the time, but inert until update information arrived.
    QVERIFY(ui->item(name.constData())->isVisible());
    ui->click(name.constData());
    QVERIFY(ui->controller.calls.isEmpty());

    setFlags({"web"});
    ui->click(name.constData());
    QCOMPARE(ui->controller.calls, QStringList{goLinkCall(target)});

    // Over the licence view the product logo still links; the release notes are covered.
    ui->controller.calls.clear();
    setFlags({"license"});
    ui->click(name.constData());
    const QStringList expected =
        target == Qt_Enum::LINK_PRODUCT_HP ? QStringList{goLinkCall(target)} : QStringList();
    QCOMPARE(ui->controller.calls, expected);
}

void TestDocument::linkHover_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<bool>("follows");

    QTest::newRow("idle") << QStringList() << true;
    QTest::newRow("with update information") << QStringList{"web"} << true;
    QTest::newRow("question shown") << QStringList{"web", "popup"} << false;
    QTest::newRow("error shown") << QStringList{"web", "error"} << false;
    QTest::newRow("information shown") << QStringList{"web", "check"} << false;
    QTest::newRow("updating") << QStringList{"web", "updating"} << false;
}

void TestDocument::linkHover()
{
    QFETCH(QStringList, flags);
    QFETCH(bool, follows);

    setFlags(flags);
    for (const char *name : {"releaseNotesLink", "productLink"}) {
        QObject *link = ui->object(name);
        QVERIFY(link);
        ui->moveTo(QPoint(1, 1));
        QVERIFY(!link->property("hovered").toBool());
        QCOMPARE(link->property("cursorShape").value<Qt::CursorShape>(), Qt::ArrowCursor);

        ui->moveTo(ui->centreOf(name));
        QTRY_COMPARE(link->property("hovered").toBool(), follows);
        QCOMPARE(link->property("cursorShape").value<Qt::CursorShape>(),
                 follows ? Qt::PointingHandCursor : Qt::ArrowCursor);

        ui->moveTo(QPoint(1, 1));
        QTRY_VERIFY(!link->property("hovered").toBool());
    }
}

void TestDocument::licenseViewCoversAllButTheLogos()
{
    QQuickItem *area = contentArea(*ui);
    QQuickItem *view = ui->item("licenseView");
    const QPointF brandAt = ui->item("brandLogo")->position();
    const QPointF productAt = ui->item("productLogo")->position();
    QCOMPARE(brandAt, QPointF(13, 13));
    QCOMPARE(productAt, QPointF(347, 13));
    QVERIFY(!view->isVisible());

    setFlags({"license", "update"});
    QVERIFY(view->isVisible());
    QCOMPARE(view->size(), area->size());
    QCOMPARE(ui->item("brandLogo")->position(), QPointF(13, 46));
    QCOMPARE(ui->item("productLogo")->position(), QPointF(347, 46));

    const QPoint below[] = {ui->centreOf("updateButton"), ui->centreOf("releaseNotes"),
                            ui->centreOf("informationBox"), ui->centreOf("serialNumber"),
                            ui->centreOf("latestVersion")};
    for (const QPoint &point : below)
        QCOMPARE(area->childAt(point.x(), point.y() - area->y()), view);
    for (const char *logo : {"brandLogo", "productLogo"}) {
        const QPoint point = ui->centreOf(logo);
        QCOMPARE(area->childAt(point.x(), point.y() - area->y()), ui->item(logo));
    }
    ui->click("updateButton");
    QVERIFY(ui->controller.calls.isEmpty());

    setFlags({"updating"});
    const QPoint bar = ui->centreOf("progressBar");
    QCOMPARE(area->childAt(bar.x(), bar.y() - area->y()), view);
}

void TestDocument::licenseViewBackAndEditing()
{
    ui->controller.setLabel(Qt_Enum::LABEL_LICENSE, QStringLiteral("Notices"));
    setFlags({"license"});
    const QQuickItem *text = ui->item("licenseText");
    QVERIFY(text->isVisible());
    QCOMPARE(ui->item("licenseScroll")->height(), 280.0);
    QCOMPARE(ui->item("licenseScroll")->width(), 495.0 - 29);

    // Not read-only: what the user types stays in the view.
    ui->click("licenseText");
    QTRY_VERIFY(text->hasActiveFocus());
    QTest::keyClick(ui->window(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(ui->window(), Qt::Key_Exclam, Qt::NoModifier);
    QVERIFY(text->property("text").toString().contains(QLatin1Char('!')));

    ui->click("backControl");
    QCOMPARE(ui->controller.calls, QStringList{"setLicenseEnable(false)"});
}

void TestDocument::menuEntries()
{
    QVERIFY(ui->chooseMenu(QStringLiteral("Help"), "licenseItem"));
    QCOMPARE(ui->controller.calls, QStringList{"openLicensePage()"});

    QSignalSpy quit(&ui->engine, &QQmlEngine::quit);
    QVERIFY(ui->chooseMenu(QStringLiteral("App"), "closeItem"));
    QTRY_COMPARE(quit.count(), 1);
}

void TestDocument::aboutWindow()
{
    auto *about = qobject_cast<QWindow *>(ui->object("aboutWindow"));
    QVERIFY(about);
    QVERIFY(!about->isVisible());

    QVERIFY(ui->chooseMenu(QStringLiteral("Help"), "aboutItem"));
    QTRY_VERIFY(about->isVisible());
    QCOMPARE(about->title(), QStringLiteral("About this app"));
    QCOMPARE(about->modality(), Qt::ApplicationModal);
    QCOMPARE(about->size(), QSize(437, 171));
    QCOMPARE(about->minimumSize(), QSize(437, 171));
    QCOMPARE(about->maximumSize(), QSize(437, 171));
    QVERIFY(ui->controller.calls.isEmpty());

    // The version and notice lines end where the name line ends.
    const QQuickItem *version = about->findChild<QQuickItem *>(QStringLiteral("versionLine"));
    const QQuickItem *notice = about->findChild<QQuickItem *>(QStringLiteral("noticeLine"));
    QVERIFY(version && notice);
    QCOMPARE(version->property("text").toString(), QStringLiteral("Software Version: V1.00"));
    QCOMPARE(version->x() + version->width(), notice->x() + notice->width());
    QCOMPARE(notice->y(), 44.0 + 80 + 10);
}

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
