// The sample firmware image, 22,972,448 bytes, installed through the
// controller on the simulated recorder from the file choice to the end.
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstring>

#include "apptiming.h"
#include "mainwindow.h"
#include "simulatedrecorder.h"
#include "controllerview.h"
#include "testsupport.h"

class TestSampleUpdate : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        useOwnTemporaryFolder(temporary.path());
        keepOffline();
        AppTiming::setScale(0.01);
    }

    void sampleImageIsInstalledWhole()
    {
        QFile file(QStringLiteral(VZ_SAMPLE_IMAGE));
        QVERIFY2(file.open(QIODevice::ReadOnly), VZ_SAMPLE_IMAGE);
        const QByteArray image = file.readAll();
        QCOMPARE(image.size(), 22972448);

        SimulatedRecorder sim(recorderConfig(98, 35));
        MainWindow window;
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 0.98 Build 35"));
        window.selectFirmware(QUrl::fromLocalFile(file.fileName()).toString());
        QCOMPARE(label(window, Qt_Enum::LABEL_ROM_VERSION), QStringLiteral("Ver. 1.00 Build 39"));
        QVERIFY(flag(window, "popup"));
        window.setPopupEnable(true);
        window.setPopupEnable(true);
        QVERIFY(flag(window, "updating"));

        QTRY_VERIFY_WITH_TIMEOUT(!flag(window, "updating"), 600000);
        QVERIFY(!flag(window, "error"));
        QVERIFY(flag(window, "check"));
        QCOMPARE(label(window, Qt_Enum::LABEL_CHECK), QStringLiteral("Update complete"));

        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        QCOMPARE(received.size(), size_t(image.size()));
        QVERIFY(std::memcmp(received.data(), image.constData(), received.size()) == 0);
        QCOMPARE(sim.recorder.protocolErrors(), uint64_t(0));
        QTRY_COMPARE(label(window, Qt_Enum::LABEL_DEVICE_VERSION), QStringLiteral("Ver. 1.00 Build 39"));
    }
};

QTEST_GUILESS_MAIN(TestSampleUpdate)
#include "tst_sample_update.moc"
