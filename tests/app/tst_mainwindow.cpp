// The controller without a recorder: initial state, labels and flags, text
// forms, the licence view, the firmware folder and file checks, and the
// confirmation pop-ups up to the first start check.
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

#include "apptiming.h"
#include "mainwindow.h"
#include "controllerview.h"
#include "testsupport.h"

namespace
{

// Records which URLs the controller handed to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;
    QTemporaryDir files;
    MarkingTranslator translator;

    QString folder() const { return firmwareFolderPath(); }
    QString placeFirmware(const QString &name, const QByteArray &image)
    {
        QDir().mkpath(folder());
        const QString path = folder() + '/' + name;
        return writeFile(path, image) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(temporary.isValid() && files.isValid());
        useOwnTemporaryFolder(temporary.path());
        QVERIFY(folder().startsWith(temporary.path()));
        AppTiming::setScale(0.01);
        QCoreApplication::installTranslator(&translator);
    }

    void init() { QVERIFY(QDir(folder()).removeRecursively()); }

    void initialState()
    {
        MainWindow window;
        const QList<QString> expected{
            "---", "---", "---", mw("Please connect the device."), mw("Start updating"), "---",
            "---", "---", "---"};
        QCOMPARE(labels(window), expected);
        QCOMPARE(window.property("progress").toInt(), 0);
        for (const char *name :
             {"web", "update", "updating", "downloaded", "license", "popup", "error", "check"})
            QVERIFY2(!flag(window, name), name);
        // No recorder: the poll runs and changes nothing.
        QSignalSpy labelSpy(&window, &MainWindow::changeLabel);
        QTest::qWait(AppTiming::scaled(3000));
        QCOMPARE(labelSpy.count(), 0);
        QCOMPARE(labels(window), expected);
    }

    void destructionIsLogged()
    {
        MessageLog log;
        {
            MainWindow window;
        }
        QCOMPARE(log.messages().value(log.messages().size() - 1), QStringLiteral("APP CLOSE"));
    }

    void setLabelChangesOnlyRealChanges_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("signalsEmitted");
        QTest::newRow("new text") << 5 << "question" << 1;
        QTest::newRow("same text") << 3 << mw("Please connect the device.") << 0;
        QTest::newRow("last entry") << 8 << "licence" << 1;
        QTest::newRow("index 9") << 9 << "outside" << 0;
        QTest::newRow("index -1") << -1 << "outside" << 0;
    }
    void setLabelChangesOnlyRealChanges()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        MainWindow window;
        const QList<QString> before = labels(window);
        QSignalSpy spy(&window, &MainWindow::changeLabel);
        window.setLabel(index, text);
        QTEST(spy.count(), "signalsEmitted");
        QList<QString> expected = before;
        if (index >= 0 && index < expected.size())
            expected[index] = text;
        QCOMPARE(labels(window), expected);
    }

    void setProgressAcceptsOnlyNewPercentages_data()
    {
        QTest::addColumn<QList<int>>("writes");
        QTest::addColumn<int>("finalValue");
        QTest::addColumn<int>("signalsEmitted");
        QTest::newRow("one value") << QList<int>{57} << 57 << 1;
        QTest::newRow("100 twice") << QList<int>{100, 100} << 100 << 1;
        QTest::newRow("101 refused") << QList<int>{101} << 0 << 0;
        QTest::newRow("-1 refused") << QList<int>{-1} << 0 << 0;
        QTest::newRow("0 is no change") << QList<int>{0} << 0 << 0;
        QTest::newRow("back down") << QList<int>{40, 16} << 16 << 2;
    }
    void setProgressAcceptsOnlyNewPercentages()
    {
        QFETCH(QList<int>, writes);
        MainWindow window;
        QSignalSpy spy(&window, &MainWindow::changeProgress);
        for (int percent : writes)
            window.setProgress(percent);
        QTEST(window.property("progress").toInt(), "finalValue");
        QTEST(spy.count(), "signalsEmitted");
    }

    void flagWritesAlwaysNotify_data()
    {
        QTest::addColumn<QByteArray>("name");
        for (const char *name : {"web", "update", "updating", "downloaded", "license", "error", "check"})
            QTest::newRow(name) << QByteArray(name);
    }
    void flagWritesAlwaysNotify()
    {
        QFETCH(QByteArray, name);
        MainWindow window;
        const QMetaObject *meta = window.metaObject();
        const QMetaProperty property = meta->property(meta->indexOfProperty(name));
        QVERIFY(property.isValid() && property.isWritable() && property.hasNotifySignal());
        QSignalSpy spy(&window, property.notifySignal());
        QVERIFY(window.setProperty(name, false)); // unchanged, still announced
        QCOMPARE(spy.count(), 1);
        QVERIFY(window.setProperty(name, true));
        QCOMPARE(spy.count(), 2);
        QVERIFY(flag(window, name));
        QVERIFY(window.setProperty(name, true));
        QCOMPARE(spy.count(), 3);
    }

    void versionText_data()
    {
        QTest::addColumn<quint32>("version");
        QTest::addColumn<QString>("text");
        QTest::newRow("102") << 102u << "1.02";
        QTest::newRow("110") << 110u << "1.10";
        QTest::newRow("100") << 100u << "1.00";
        QTest::newRow("5") << 5u << "0.05";
        QTest::newRow("9") << 9u << "0.09";
        QTest::newRow("0") << 0u << "0.00";
        QTest::newRow("1234") << 1234u << "12.34";
        QTest::newRow("65535") << 65535u << "655.35";
    }
    void versionText()
    {
        QFETCH(quint32, version);
        QTEST(MainWindow::versionText(version), "text");
        QCOMPARE(MainWindow::versionBuildText(version, 34),
                 "Ver. " + MainWindow::versionText(version) + " Build 34");
    }

    void licenceViewWithoutResource()
    {
        Q_CLEANUP_RESOURCE(licence_test);
        MainWindow window;
        MessageLog log;
        QSignalSpy errorSpy(&window, &MainWindow::changeError);
        window.openLicensePage();
        Q_INIT_RESOURCE(licence_test);
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), mw("Please reinstall the app."));
        QVERIFY(flag(window, "error"));
        QCOMPARE(errorSpy.count(), 1);
        QVERIFY(!flag(window, "license"));
        QCOMPARE(label(window, Qt_Enum::LABEL_LICENSE), QStringLiteral("---"));
        const QStringList lines = log.messages();
        QCOMPARE(lines.size(), 3);
        const QStringList paths{QDir::currentPath(), QDir::homePath(), QDir::rootPath()};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(lines.at(i).startsWith("QDir("), qPrintable(lines.at(i)));
            QVERIFY2(lines.at(i).contains('"' + paths.at(i) + '"'), qPrintable(lines.at(i)));
        }
    }

    void licenceViewShowsTextWithoutFormFeeds()
    {
        QFile source(QStringLiteral(":/res/LICENSE.txt"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QString expected = QString::fromUtf8(source.readAll());
        QVERIFY(expected.contains('\f'));
        expected.remove('\f');

        MainWindow window;
        QSignalSpy licenceSpy(&window, &MainWindow::changeLicenseEnable);
        window.openLicensePage();
        QCOMPARE(label(window, Qt_Enum::LABEL_LICENSE), expected);
        QVERIFY(flag(window, "license"));
        QVERIFY(!flag(window, "error"));
        QCOMPARE(licenceSpy.count(), 1);
        window.setLicenseEnable(false); // "Back"
        QVERIFY(!flag(window, "license"));
        QCOMPARE(licenceSpy.count(), 2);
    }

    void linksNeedUpdateInformation()
    {
        UrlCatcher catcher;
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
        MainWindow window;
        window.goLink(Qt_Enum::LINK_PRODUCT_HP);
        window.goLink(Qt_Enum::LINK_RELEASE_NOTE);
        for (const char *scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        QVERIFY(catcher.opened.isEmpty());
    }

    void startupChoosesTheNewestDownload_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<int>>("versions");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("largest number wins")
            << QStringList{"temp.101", "temp.103"} << QList<int>{101, 103} << "temp.103";
        QTest::newRow("order does not matter")
            << QStringList{"temp.103", "temp.101"} << QList<int>{103, 101} << "temp.103";
        QTest::newRow("exe counts as 0")
            << QStringList{"temp.exe", "temp.102"} << QList<int>{200, 102} << "temp.102";
        QTest::newRow("last three characters")
            << QStringList{"fw_v2_110", "temp.102"} << QList<int>{110, 102} << "fw_v2_110";
        QTest::newRow("single file without number")
            << QStringList{"temp.exe"} << QList<int>{200} << "temp.exe";
        QTest::newRow("hidden files are passed over")
            << QStringList{".temp.999", "temp.101"} << QList<int>{199, 101} << "temp.101";
    }
    void startupChoosesTheNewestDownload()
    {
        QFETCH(QStringList, names);
        QFETCH(QList<int>, versions);
        QFETCH(QString, chosen);
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(
                !placeFirmware(names.at(i), firmwareImage("VELDR-Q7", quint16(versions.at(i)), 7)).isEmpty());
        QVERIFY(QDir().mkpath(folder() + "/temp.999")); // folders are passed over

        MessageLog log;
        MainWindow window;
        const int version = versions.at(names.indexOf(chosen));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION),
                 MainWindow::versionBuildText(quint32(version), 7));
        QVERIFY(flag(window, "downloaded"));
        QVERIFY(!flag(window, "error"));
        QVERIFY(log.contains('"' + QFileInfo(folder() + '/' + chosen).absoluteFilePath() + '"'));
    }

    void startupWithoutUsableDownload_data()
    {
        QTest::addColumn<bool>("makeFolder");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("errorShown");
        QTest::newRow("no folder") << false << QByteArray() << false;
        QTest::newRow("empty folder") << true << QByteArray() << false;
        QTest::newRow("too short for a header") << true << QByteArray("0123456789") << false;
        QTest::newRow("checksum fails") << true << corruptedImage(firmwareImage("VELDR-Q7", 104, 1)) << true;
    }
    void startupWithoutUsableDownload()
    {
        QFETCH(bool, makeFolder);
        QFETCH(QByteArray, content);
        QFETCH(bool, errorShown);
        if (makeFolder)
            QVERIFY(QDir().mkpath(folder()));
        if (!content.isEmpty())
            QVERIFY(!placeFirmware("temp.104", content).isEmpty());
        MessageLog log;
        MainWindow window;
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
        QVERIFY(!flag(window, "downloaded"));
        QCOMPARE(flag(window, "error"), errorShown);
        QCOMPARE(log.contains("file checksum error"), errorShown);
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR),
                 errorShown ? wrongFirmwareText() : QStringLiteral("---"));
    }

    void selectedFileIsChecked_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("errorShown");
        QTest::newRow("sound image") << firmwareImage("VELDR-Q7", 102, 3) << true << false;
        QTest::newRow("image for the sibling model") << firmwareImage("VD-NIMBO", 102, 3) << true << false;
        QTest::newRow("checksum fails") << corruptedImage(firmwareImage("VELDR-Q7", 102, 3)) << false << true;
        QTest::newRow("shorter than a header") << QByteArray(31, 'x') << false << false;
        QTest::newRow("empty file") << QByteArray() << false << false;
        QTest::newRow("missing file") << QByteArray("<missing>") << false << false;
    }
    void selectedFileIsChecked()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, accepted);
        QFETCH(bool, errorShown);
        const QString path = files.filePath("chosen.bin");
        QFile::remove(path);
        if (content != "<missing>")
            QVERIFY(writeFile(path, content));
        MainWindow window;
        QSignalSpy downloadedSpy(&window, &MainWindow::changeDownloadedStatus);
        MessageLog log;
        window.selectFirmware(QUrl::fromLocalFile(path).toString());
        QCOMPARE(flag(window, "downloaded"), accepted);
        QVERIFY(downloadedSpy.count() >= 1);
        QCOMPARE(flag(window, "error"), errorShown);
        QCOMPARE(log.contains("file checksum error"), errorShown);
        // An accepted file leads straight to the question (no recorder: V0.00).
        QCOMPARE(flag(window, "popup"), accepted);
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                 accepted ? mw("Update the firmware from ") + "V0.00" + mw(" to ") + "V1.02" + mw("?")
                          : QStringLiteral("---"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION),
                 accepted ? QStringLiteral("Ver. 1.02 Build 3") : QStringLiteral("---"));
    }

    void emptySelectionDoesNothing()
    {
        MainWindow window;
        QSignalSpy downloadedSpy(&window, &MainWindow::changeDownloadedStatus);
        window.selectFirmware(QString());
        window.selectFirmware(QStringLiteral("file://"));
        QCOMPARE(downloadedSpy.count(), 0);
        QVERIFY(!flag(window, "popup"));
    }

    void unknownModesDoNothing_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("-1") << -1;
        QTest::newRow("3") << 3;
        QTest::newRow("7") << 7;
    }
    void unknownModesDoNothing()
    {
        QFETCH(int, mode);
        QVERIFY(!placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3)).isEmpty());
        MainWindow window;
        QSignalSpy popupSpy(&window, &MainWindow::changePopupEnable);
        QSignalSpy errorSpy(&window, &MainWindow::changeError);
        window.startUpdate(mode);
        QCOMPARE(popupSpy.count(), 0);
        QCOMPARE(errorSpy.count(), 0);
    }

    void confirmationQuestions()
    {
        QVERIFY(!placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3)).isEmpty());
        MainWindow window;
        QSignalSpy popupSpy(&window, &MainWindow::changePopupEnable);
        // UPDATE_START while idle is the check step, not the start.
        window.startUpdate(Qt_Enum::UPDATE_START);
        QVERIFY(flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                 mw("Update the firmware from ") + "V0.00" + mw(" to ") + "V1.02" + mw("?"));
        window.setPopupEnable(true);
        QVERIFY(flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP), mw("Updating will start.") + "\n" +
                                                          mw("Do not turn off the unit's power") + "\n" +
                                                          mw("during the update."));
        window.setPopupEnable(false); // No at the second question
        QVERIFY(!flag(window, "popup"));
        QCOMPARE(popupSpy.count(), 3);

        // Back at idle: the button asks the first question again.
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        QVERIFY(flag(window, "popup"));
        QCOMPARE(label(window, Qt_Enum::LABEL_POPUP),
                 mw("Update the firmware from ") + "V0.00" + mw(" to ") + "V1.02" + mw("?"));
        window.setPopupEnable(false); // No at the first question
        QVERIFY(!flag(window, "popup"));
        QVERIFY(!flag(window, "error"));
        QVERIFY(!flag(window, "updating"));
    }

    void secondYesWithoutRecorderIsRefused()
    {
        QVERIFY(!placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3)).isEmpty());
        MainWindow window;
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        MessageLog log;
        QSignalSpy updatingSpy(&window, &MainWindow::changeUpdatingStatus);
        window.setPopupEnable(true);
        QVERIFY(log.contains("error: !vz.select_default"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), deviceRecognitionText());
        QVERIFY(flag(window, "error"));
        QVERIFY(!flag(window, "popup"));
        QVERIFY(!flag(window, "update"));
        QVERIFY(!flag(window, "updating"));
        QVERIFY(!flag(window, "downloaded"));
        QCOMPARE(updatingSpy.count(), 2); // shown, then withdrawn
    }

    void secondYesWithVanishedFileReturnsToIdle()
    {
        const QString path = placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3));
        MainWindow window;
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        window.setPopupEnable(true);
        QVERIFY(writeFile(path, corruptedImage(firmwareImage("VELDR-Q7", 102, 3))));
        window.setPopupEnable(true);
        QVERIFY(!flag(window, "popup"));
        QVERIFY(!flag(window, "updating"));
        QVERIFY(flag(window, "error")); // the check's own pop-up stays
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), wrongFirmwareText());

        // Idle again: the button runs the check step, which asks anew.
        window.setError(false);
        QVERIFY(QFile::remove(path));
        window.startUpdate(Qt_Enum::UPDATE_CHECK);
        QVERIFY(flag(window, "popup"));
        window.setPopupEnable(true);
        window.setPopupEnable(true); // the file is gone: a silent failure
        QVERIFY(!flag(window, "updating"));
        QVERIFY(!flag(window, "error"));
    }

    void startWithoutImageIsRefused()
    {
        // The interface can ask for the start after the image was dropped.
        MainWindow window;
        window.selectFirmware(
            QUrl::fromLocalFile(placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3))).toString());
        window.setPopupEnable(true); // first Yes
        window.initialize();
        window.setLabel(Qt_Enum::LABEL_ROM_VERSION, "Ver. 1.02 Build 3");
        MessageLog log;
        window.startUpdate(Qt_Enum::UPDATE_START);
        QCOMPARE(label(window, Qt_Enum::LABEL_ERROR), wrongFirmwareText());
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
        QVERIFY(flag(window, "error"));
        QVERIFY(!flag(window, "updating"));
        QVERIFY(!log.contains("GO UPDATE!!!!!!!"));
        QVERIFY(!log.contains("error: !vz.select_default")); // refused before the recorder is asked
    }

    void initializeForgetsFirmware()
    {
        QVERIFY(!placeFirmware("temp.102", firmwareImage("VELDR-Q7", 102, 3)).isEmpty());
        QVERIFY(!placeFirmware(".keep", "hidden").isEmpty());
        QVERIFY(QDir().mkpath(folder() + "/sub"));
        MainWindow window;
        QVERIFY(flag(window, "downloaded"));
        QStringList order;
        connect(&window, &MainWindow::changeUpdateEnable, &window, [&order] { order.append("update"); });
        connect(&window, &MainWindow::changeUpdatingStatus, &window, [&order] { order.append("updating"); });
        connect(&window, &MainWindow::changeDownloadedStatus, &window,
                [&order] { order.append("downloaded"); });
        window.initialize();
        QCOMPARE(order, QStringList({"update", "updating", "downloaded"}));
        QVERIFY(!flag(window, "downloaded"));
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("---"));
        QCOMPARE(label(window, Qt_Enum::LABEL_DEVICE_STATUS), mw("Please connect the device."));
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({".keep", "sub"}));

        // With update information, its (here empty) numbers take the place.
        window.setProperty("web", true);
        window.initialize();
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 0.00 Build 0"));
    }
};

QTEST_GUILESS_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
