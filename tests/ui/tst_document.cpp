/* The window document against a controller double: what it shows for each
 * controller state, and which controller call each click makes. */
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include "documentfixture.h"

class TestDocument : public QObject
{
    Q_OBJECT
    std::unique_ptr<DocumentFixture> ui;

    /* Raises the controller flags named in a space-separated list. */
    void set(const QString &flags)
    {
        for (const QString &name : flags.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            QVERIFY2(ui->controller.setProperty(qPrintable(name), true), qPrintable(name));
    }
    QObject *object(const char *name) const { return find<QObject>(ui->window(), name); }
    /* The area below the menu bar that the document's elements are laid out in. */
    QQuickItem *content() const { return ui->window()->property("contentItem").value<QQuickItem *>(); }
    const QStringList &calls() const { return ui->controller.calls; }

private slots:
    void init()
    {
        ui = std::make_unique<DocumentFixture>();
        QVERIFY(ui->load());
    }
    void cleanup() { ui.reset(); }

    /* Where each label is shown, and which of the modal elements each state shows. */
    void labelsAndPopups_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("modal");
        const QStringList none, question{"mask", "questionPopup"}, message{"mask", "messagePopup"};
        const QStringList error = message + QStringList{"errorTitle"};
        // clang-format off
        QTest::newRow("status") << "" << int(Qt_Enum::LABEL_DEVICE_STATUS) << "statusText" << none;
        QTest::newRow("recorder version") << "" << int(Qt_Enum::LABEL_DEVICE_VERSION) << "currentVersion" << none;
        QTest::newRow("firmware version") << "" << int(Qt_Enum::LABEL_ROM_VERSION) << "latestVersion" << none;
        QTest::newRow("serial number") << "" << int(Qt_Enum::LABEL_DEVICE_SERIALNO) << "serialNumber" << none;
        QTest::newRow("button caption") << "" << int(Qt_Enum::LABEL_FWUPDATE) << "updateCaption" << none;
        QTest::newRow("question") << "popup" << int(Qt_Enum::LABEL_POPUP) << "questionText" << question;
        QTest::newRow("error") << "error" << int(Qt_Enum::LABEL_ERROR) << "messageText" << error;
        QTest::newRow("information") << "check" << int(Qt_Enum::LABEL_CHECK) << "messageText" << message;
        QTest::newRow("error over information") << "check error" << int(Qt_Enum::LABEL_ERROR) << "messageText" << error;
        QTest::newRow("licence") << "license" << int(Qt_Enum::LABEL_LICENSE) << "licenseText" << none;
        QTest::newRow("updating is not modal") << "web updating" << int(Qt_Enum::LABEL_DEVICE_STATUS) << "statusText" << none;
        // clang-format on
    }
    void labelsAndPopups()
    {
        QFETCH(QString, flags);
        QFETCH(int, index);
        QFETCH(QString, element);
        QFETCH(QStringList, modal);
        set(flags);
        for (int i = 0; i < Qt_Enum::LABEL_NUM; ++i)
            ui->controller.setLabel(i, QStringLiteral("entry %1").arg(i));
        const QObject *shown = object(qPrintable(element));
        QVERIFY(shown);
        QCOMPARE(shown->property("text").toString(), QStringLiteral("entry %1").arg(index));
        // A later change reaches the window through the notify signal alone.
        ui->controller.setLabel(index, QStringLiteral("changed"));
        QCOMPARE(shown->property("text").toString(), QStringLiteral("changed"));
        for (const char *name : {"mask", "questionPopup", "messagePopup", "errorTitle"})
            QVERIFY2(ui->item(name)->isVisible() == modal.contains(QLatin1String(name)), name);
        // The mask swallows clicks on the content area (see clicks), not on the menu bar.
        if (modal.contains(QLatin1String("mask"))) {
            QCOMPARE(ui->item("mask")->size(), content()->size());
            QVERIFY(chooseMenu(ui->window(), QStringLiteral("Help"), "licenseItem"));
            QCOMPARE(calls(), QStringList{"openLicensePage()"});
        }
    }

    /* Which controller call a click makes in each state ("file dialog" when
     * the file dialog opens). */
    void clicks_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("expected");
        const QString check = QStringLiteral("startUpdate(%1)").arg(int(Qt_Enum::UPDATE_CHECK));
        const QString notes = QStringLiteral("goLink(%1)").arg(int(Qt_Enum::LINK_RELEASE_NOTE));
        const QString product = QStringLiteral("goLink(%1)").arg(int(Qt_Enum::LINK_PRODUCT_HP));
        // clang-format off
        QTest::newRow("update disabled") << "web downloaded" << "updateButton" << QStringList();
        QTest::newRow("no firmware yet") << "update" << "updateButton" << QStringList{"file dialog"};
        QTest::newRow("announced online") << "update web" << "updateButton" << QStringList{check};
        QTest::newRow("file loaded") << "update downloaded" << "updateButton" << QStringList{check};
        QTest::newRow("yes") << "popup" << "yesButton" << QStringList{"setPopupEnable(true)"};
        QTest::newRow("no") << "popup" << "noButton" << QStringList{"setPopupEnable(false)"};
        QTest::newRow("ok on an error") << "error" << "okButton" << QStringList{"setError(false)"};
        QTest::newRow("ok on information") << "check" << "okButton" << QStringList{"setCheck(false)"};
        QTest::newRow("ok on both") << "check error" << "okButton" << QStringList{"setError(false)"};
        // Links are drawn all the time, but inert until update information arrived.
        QTest::newRow("notes inert") << "" << "releaseNotes" << QStringList();
        QTest::newRow("notes") << "web" << "releaseNotes" << QStringList{notes};
        QTest::newRow("logo") << "web" << "productLogo" << QStringList{product};
        // The licence view covers everything but the logos, which still link.
        QTest::newRow("logo over licence") << "web license" << "productLogo" << QStringList{product};
        QTest::newRow("update under licence") << "update web license" << "updateButton" << QStringList();
        QTest::newRow("back") << "license" << "backControl" << QStringList{"setLicenseEnable(false)"};
        // A question swallows every click on the content area.
        QTest::newRow("masked update") << "update web popup" << "updateButton" << QStringList();
        QTest::newRow("masked logo") << "update web popup" << "productLogo" << QStringList();
        // clang-format on
    }
    void clicks()
    {
        QFETCH(QString, flags);
        QFETCH(QString, element);
        QFETCH(QStringList, expected);
        set(flags);
        QVERIFY(ui->item(qPrintable(element))->isVisible());
        ui->click(qPrintable(element));
        QStringList seen = calls();
        if (object("fileDialog")->property("visible").toBool())
            seen << QStringLiteral("file dialog");
        QCOMPARE(seen, expected);
    }

    void fileDialogHandsTheChosenFileOver()
    {
        QObject *dialog = object("fileDialog");
        QVERIFY(dialog->property("selectExisting").toBool());
        QCOMPARE(dialog->property("folder").toUrl(),
                 QUrl::fromLocalFile(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)));
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("temp.102"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        set(QStringLiteral("update"));
        ui->click("updateButton");
        bool added = false;
        QVERIFY(QMetaObject::invokeMethod(dialog, "addSelection", Q_RETURN_ARG(bool, added),
                                          Q_ARG(QUrl, QUrl::fromLocalFile(path))));
        QVERIFY(added);
        QVERIFY(QMetaObject::invokeMethod(dialog, "accept"));
        QCOMPARE(calls(), QStringList{QStringLiteral("selectFirmware(file://%1)").arg(path)});
    }

    void progressBarTakesTheButtonsPlace()
    {
        const QQuickItem *bar = ui->item("progressBar"), *text = ui->item("percentText");
        const QQuickItem *button = ui->item("updateButton");
        QVERIFY(!bar->isVisible() && !text->isVisible());
        set(QStringLiteral("updating"));
        QVERIFY(bar->isVisible() && text->isVisible() && !button->isVisible());
        QCOMPARE(bar->position(), button->position());
        for (int percent : {37, 100, 0}) {
            ui->controller.setProperty("progress", percent);
            QCOMPARE(ui->item("progressFill")->width(), (bar->width() - 4) * percent / 100);
            QCOMPARE(text->property("text").toString(), QStringLiteral("%1%").arg(percent));
        }
    }

    // A question too long for its pop-up is clipped above its buttons, which stay usable.
    void longQuestionLeavesItsButtonsUsable()
    {
        ui->controller.setLabel(Qt_Enum::LABEL_POPUP, QStringLiteral("Really?\n").repeated(30));
        set(QStringLiteral("popup"));
        const QQuickItem *text = ui->item("questionText");
        QVERIFY(text->height() > ui->item("questionPopup")->height() && text->parentItem()->clip());
        ui->click("yesButton");
        QCOMPARE(calls(), QStringList{"setPopupEnable(true)"});
    }

    void licenseViewCoversAllButTheLogos()
    {
        QQuickItem *area = content(), *view = ui->item("licenseView");
        set(QStringLiteral("license update updating"));
        QCOMPARE(view->size(), area->size());
        const auto topmostAt = [&](const char *name) {
            const QPoint point = centreOf(ui->item(name));
            return area->childAt(point.x(), point.y() - area->y());
        };
        for (const char *name :
             {"progressBar", "releaseNotes", "informationBox", "serialNumber", "latestVersion"})
            QCOMPARE(topmostAt(name), view);
        for (const char *logo : {"brandLogo", "productLogo"})
            QCOMPARE(topmostAt(logo), ui->item(logo));
    }

    void aboutBoxIsModal()
    {
        QQuickWindow *w = ui->window();
        auto *about = find<QWindow>(w, "aboutWindow");
        QVERIFY(!about->isVisible());
        QVERIFY(chooseMenu(w, QStringLiteral("Help"), "aboutItem"));
        QTRY_VERIFY(about->isVisible());
        QCOMPARE(about->modality(), Qt::ApplicationModal);
        const QObject *version = about->findChild<QObject *>(QStringLiteral("versionLine"));
        QCOMPARE(version->property("text").toString(), QStringLiteral("Software Version: V1.00"));
        QVERIFY(calls().isEmpty());
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
