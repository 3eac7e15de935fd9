/* The window document against a controller double: what it shows for each
 * controller state, and which controller call each click makes. */
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTranslator>

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
    QColor colorOf(const char *name) const { return object(name)->property("color").value<QColor>(); }

private slots:
    void init()
    {
        ui = std::make_unique<DocumentFixture>();
        QVERIFY(ui->load());
    }
    void cleanup() { ui.reset(); }

    void textsFollowTheCatalog()
    {
        QTranslator japanese;
        QVERIFY(japanese.load(QStringLiteral(":/Translation/translate_ja.qm")));
        QCoreApplication::installTranslator(&japanese);
        ui->engine.retranslate();
        // The document's texts live in the "mainwindow" context of the catalog.
        const auto translated = [&](const char *source) { return japanese.translate("mainwindow", source); };
        QCOMPARE(ui->window()->title(), translated("SORAVE Veldracorder Q7 Firmware Updater"));
        QCOMPARE(object("latestCaption")->property("text").toString(), translated("Downloaded:"));
        QCOMPARE(find<QWindow>(ui->window(), "aboutWindow")->title(), translated("About this app"));
    }

    void labelsShownWhereTheyBelong_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("element");
        // clang-format off
        QTest::newRow("status") << "" << int(Qt_Enum::LABEL_DEVICE_STATUS) << "statusText";
        QTest::newRow("recorder version") << "" << int(Qt_Enum::LABEL_DEVICE_VERSION) << "currentVersion";
        QTest::newRow("firmware version") << "" << int(Qt_Enum::LABEL_ROM_VERSION) << "latestVersion";
        QTest::newRow("serial number") << "" << int(Qt_Enum::LABEL_DEVICE_SERIALNO) << "serialNumber";
        QTest::newRow("button caption") << "" << int(Qt_Enum::LABEL_FWUPDATE) << "updateCaption";
        QTest::newRow("question") << "popup" << int(Qt_Enum::LABEL_POPUP) << "questionText";
        QTest::newRow("error") << "error" << int(Qt_Enum::LABEL_ERROR) << "messageText";
        QTest::newRow("information") << "check" << int(Qt_Enum::LABEL_CHECK) << "messageText";
        QTest::newRow("error over information") << "check error" << int(Qt_Enum::LABEL_ERROR) << "messageText";
        QTest::newRow("licence") << "license" << int(Qt_Enum::LABEL_LICENSE) << "licenseText";
        // clang-format on
    }
    void labelsShownWhereTheyBelong()
    {
        QFETCH(QString, flags);
        QFETCH(int, index);
        QFETCH(QString, element);
        set(flags);
        for (int i = 0; i < Qt_Enum::LABEL_NUM; ++i)
            ui->controller.setLabel(i, QStringLiteral("entry %1").arg(i));
        const QObject *shown = object(qPrintable(element));
        QVERIFY(shown);
        QCOMPARE(shown->property("text").toString(), QStringLiteral("entry %1").arg(index));
        // A later change reaches the window through the notify signal alone.
        ui->controller.setLabel(index, QStringLiteral("changed"));
        QCOMPARE(shown->property("text").toString(), QStringLiteral("changed"));
    }

    /* Which controller call a click makes in each state ("file dialog" when
     * the file dialog opens), and the update button's colours on the way. */
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
        QTest::newRow("notes under licence") << "web license" << "releaseNotes" << QStringList();
        QTest::newRow("logo over licence") << "web license" << "productLogo" << QStringList{product};
        QTest::newRow("update under licence") << "update web license" << "updateButton" << QStringList();
        QTest::newRow("back") << "license" << "backControl" << QStringList{"setLicenseEnable(false)"};
        // A question swallows every click on the content area.
        QTest::newRow("masked update") << "update web popup" << "updateButton" << QStringList();
        QTest::newRow("masked logo") << "update web popup" << "productLogo" << QStringList();
        QTest::newRow("masked back") << "license popup" << "backControl" << QStringList();
        // clang-format on
    }
    void clicks()
    {
        QFETCH(QString, flags);
        QFETCH(QString, element);
        QFETCH(QStringList, expected);
        set(flags);
        const bool enabled = flags.contains(QLatin1String("update"));
        QCOMPARE(colorOf("updateButton"), QColor(enabled ? "#0092E5" : "#353535"));
        QCOMPARE(colorOf("updateCaption"), QColor(enabled ? "#FFFFFF" : "#969696"));
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
        QVERIFY(QMetaObject::invokeMethod(dialog, "reject"));
        QVERIFY(calls().isEmpty());
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
        QCOMPARE(QRectF(bar->position(), bar->size()), QRectF(button->position(), button->size()));
        for (int percent : {37, 100, 0}) {
            ui->controller.setProperty("progress", percent);
            QCOMPARE(ui->item("progressFill")->width(), (bar->width() - 4) * percent / 100);
            QCOMPARE(text->property("text").toString(), QStringLiteral("%1%").arg(percent));
        }
    }

    void modalStates_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("linksHover");
        // clang-format off
        QTest::newRow("idle") << "" << QStringList() << true;
        QTest::newRow("with update information") << "web" << QStringList() << true;
        QTest::newRow("question") << "web popup" << QStringList{"mask", "questionPopup"} << false;
        QTest::newRow("error") << "web error" << QStringList{"mask", "messagePopup", "errorTitle"} << false;
        QTest::newRow("information") << "web check" << QStringList{"mask", "messagePopup"} << false;
        QTest::newRow("error and information") << "error check" << QStringList{"mask", "messagePopup", "errorTitle"} << false;
        QTest::newRow("updating is not modal") << "web updating" << QStringList() << false;
        // clang-format on
    }
    void modalStates()
    {
        QFETCH(QString, flags);
        QFETCH(QStringList, shown);
        QFETCH(bool, linksHover);
        set(flags);
        // The mask swallows clicks on the content area (see clicks), not on the menu bar.
        if (shown.contains(QLatin1String("mask"))) {
            QCOMPARE(ui->item("mask")->size(), content()->size());
            QVERIFY(chooseMenu(ui->window(), QStringLiteral("Help"), "licenseItem"));
            QCOMPARE(calls(), QStringList{"openLicensePage()"});
        }
        for (const char *name : {"mask", "questionPopup", "messagePopup", "errorTitle"})
            QVERIFY2(ui->item(name)->isVisible() == shown.contains(QLatin1String(name)), name);
        // Centred in the content area; centring snaps to whole pixels.
        for (const QQuickItem *popup : {ui->item("questionPopup"), ui->item("messagePopup")})
            QVERIFY(popup->width() == 400 && qAbs(2 * popup->x() + popup->width() - 495) <= 1 &&
                    qAbs(2 * popup->y() + popup->height() - 360) <= 1);
        // While anything modal is shown the links stop following the pointer.
        for (const char *name : {"releaseNotesLink", "productLink"}) {
            QQuickItem *link = ui->item(name);
            QTest::mouseMove(ui->window(), centreOf(link));
            QTRY_COMPARE(link->property("hovered").toBool(), linksHover);
            QCOMPARE(link->property("cursorShape").value<Qt::CursorShape>(),
                     linksHover ? Qt::PointingHandCursor : Qt::ArrowCursor);
        }
    }

    void popupHeightsFollowTheirText()
    {
        const QQuickItem *message = ui->item("messagePopup"), *messageText = ui->item("messageText");
        const QQuickItem *question = ui->item("questionPopup"), *questionText = ui->item("questionText");
        // An error is 40 pixels taller than information with the same text, for its title; 400 at most.
        for (int lines : {1, 5, 30}) {
            const QString text = QStringLiteral("Restart the device and try again.\n").repeated(lines);
            for (int label : {Qt_Enum::LABEL_ERROR, Qt_Enum::LABEL_CHECK, Qt_Enum::LABEL_POPUP})
                ui->controller.setLabel(label, text);
            ui->controller.setProperty("error", false);
            set(QStringLiteral("check popup"));
            QCOMPARE(message->height(), qMin(messageText->height() + 120, 400.0));
            QCOMPARE(question->height(), qMin(questionText->height() + 100, 400.0));
            set(QStringLiteral("error"));
            QCOMPARE(message->height(), qMin(messageText->height() + 120 + 40, 400.0));
        }
        // The long question runs past its box, which clips it 80 pixels above
        // the pop-up's bottom so that the buttons stay clear and usable.
        QVERIFY(questionText->height() > 400 && questionText->parentItem()->clip());
        QCOMPARE(questionText->parentItem()->height(), 400.0 - 80);
        ui->click("yesButton");
        QCOMPARE(calls(), QStringList{"setPopupEnable(true)"});
    }

    void licenseViewCoversAllButTheLogosAndIsEditable()
    {
        QQuickItem *area = content(), *view = ui->item("licenseView");
        QCOMPARE(ui->item("brandLogo")->position(), QPointF(13, 13));
        QCOMPARE(ui->item("productLogo")->position(), QPointF(347, 13));
        QVERIFY(!view->isVisible());
        set(QStringLiteral("license update updating"));
        QCOMPARE(view->size(), area->size());
        QCOMPARE(ui->item("brandLogo")->position(), QPointF(13, 46));
        QCOMPARE(ui->item("productLogo")->position(), QPointF(347, 46));
        const auto topmostAt = [&](const char *name) {
            const QPoint point = centreOf(ui->item(name));
            return area->childAt(point.x(), point.y() - area->y());
        };
        for (const char *name :
             {"progressBar", "releaseNotes", "informationBox", "serialNumber", "latestVersion"})
            QCOMPARE(topmostAt(name), view);
        for (const char *logo : {"brandLogo", "productLogo"})
            QCOMPARE(topmostAt(logo), ui->item(logo));

        // Not read-only: what the user types stays in the view.
        const QQuickItem *text = ui->item("licenseText");
        ui->click("licenseText");
        QTRY_VERIFY(text->hasActiveFocus());
        QTest::keyClick(ui->window(), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(ui->window(), Qt::Key_Exclam);
        QVERIFY(text->property("text").toString().endsWith(QLatin1Char('!')));
    }

    void windowsHaveFixedSizesAndTheAboutBoxIsModal()
    {
        QQuickWindow *w = ui->window();
        QVERIFY(w->minimumSize() == QSize(495, 400) && w->maximumSize() == QSize(495, 400));
        QCOMPARE(content()->size(), QSizeF(495, 360));
        QVERIFY(w->flags().testFlag(Qt::Dialog) && !w->flags().testFlag(Qt::WindowMaximizeButtonHint));
        auto *about = find<QWindow>(w, "aboutWindow");
        QVERIFY(!about->isVisible());
        QVERIFY(chooseMenu(w, QStringLiteral("Help"), "aboutItem"));
        QTRY_VERIFY(about->isVisible());
        QCOMPARE(about->modality(), Qt::ApplicationModal);
        QVERIFY(about->minimumSize() == QSize(437, 171) && about->maximumSize() == QSize(437, 171));
        const QObject *version = about->findChild<QObject *>(QStringLiteral("versionLine"));
        QCOMPARE(version->property("text").toString(), QStringLiteral("Software Version: V1.00"));
        QVERIFY(calls().isEmpty());
    }
};

QTEST_MAIN(TestDocument)
#include "tst_document.moc"
