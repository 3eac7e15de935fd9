// The computer stays awake exactly while an update runs, however it ends;
// without logind the update runs all the same.
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <poll.h>
#include <unistd.h>

#include "apptiming.h"
#include "controllerview.h"
#include "simulatedrecorder.h"
#include "testsupport.h"
#include "vzmsg_ctl.h"

namespace
{

// Answers Inhibit with the write end of a pipe; the lock is held while
// the read end sees no hang-up.
class StandInLogind : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    ~StandInLogind() override
    {
        for (int end : readEnds)
            ::close(end);
    }
    int held() const
    {
        int count = 0;
        for (int end : readEnds) {
            pollfd watched{end, POLLIN, 0};
            count += ::poll(&watched, 1, 0) == 0;
        }
        return count;
    }
    QStringList calls;

public slots:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &who, const QString &why,
                                    const QString &mode)
    {
        calls << QStringList{what, who, why, mode}.join('|');
        int ends[2];
        if (::pipe(ends) != 0)
            return {};
        readEnds << ends[0];
        QDBusUnixFileDescriptor lock(ends[1]);
        ::close(ends[1]);
        return lock;
    }

private:
    QList<int> readEnds;
};

enum class End { Success, Unplug, WindowClosed };

} // namespace

Q_DECLARE_METATYPE(End)

class TestSleepInhibitor : public QObject
{
    Q_OBJECT

    QTemporaryDir temporary;
    QProcess bus;
    StandInLogind logind;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        useOwnTemporaryFolder(temporary.path());
        keepOffline();
        // The session bus's rules let the stand-in own any name.
        bus.start(VZ_DBUS_DAEMON, {"--session", "--nofork", "--print-address",
                                   "--address=unix:path=" + temporary.filePath("bus")});
        QTRY_VERIFY(bus.canReadLine());
        const QByteArray address = bus.readLine().trimmed();
        // Before the program's first look at the system bus.
        QVERIFY(qputenv("DBUS_SYSTEM_BUS_ADDRESS", address));
        QDBusConnection standIn = QDBusConnection::connectToBus(QString::fromUtf8(address), "logind");
        QVERIFY2(standIn.isConnected(), qPrintable(standIn.lastError().message()));
        QVERIFY(standIn.registerObject("/org/freedesktop/login1", &logind, QDBusConnection::ExportAllSlots));
    }
    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus("logind");
        bus.kill();
        bus.waitForFinished();
    }
    void init() { AppTiming::setScale(0.05); }

    void heldExactlyWhileUpdating_data()
    {
        QTest::addColumn<bool>("logindThere");
        QTest::addColumn<End>("end");
        QTest::newRow("success") << true << End::Success;
        QTest::newRow("unplug") << true << End::Unplug;
        QTest::newRow("window closed") << true << End::WindowClosed;
        QTest::newRow("no logind") << false << End::Success;
    }
    void heldExactlyWhileUpdating()
    {
        QFETCH(bool, logindThere);
        QFETCH(End, end);
        QDBusConnection standIn = QDBusConnection("logind");
        if (logindThere)
            QVERIFY(standIn.registerService("org.freedesktop.login1"));
        logind.calls.clear();
        const QString path = temporary.filePath("temp.102");
        QVERIFY(writeFile(path, firmwareImage("VELDR-Q7", 102, 36, 3000)));
        SimulatedRecorder sim(98, 35);
        vzsim::Timing timing = sim.recorder.config().timing;
        timing.erase.polls = 20; // long enough to look at while it runs
        sim.recorder.setTiming(timing);
        // During the write, well after the lock was taken.
        if (end == End::Unplug)
            sim.recorder.addFault(vzsim::Fault(vzsim::FaultKind::Unplug)
                                      .on(VZMSG_DATA_FWUP_STATUS)
                                      .inStatus(VZMSG_DATA_FWUP_STATUS_WRITE3_WRITE));
        MessageLog log;
        auto window = std::make_unique<MainWindow>();
        choose(*window, path);
        confirm(*window);
        QTRY_COMPARE(logind.held(), int(logindThere));
        QVERIFY(flag(*window, "updating"));
        if (end == End::WindowClosed)
            window.reset(); // waits for the update
        else
            QTRY_VERIFY_WITH_TIMEOUT(!flag(*window, "updating"), 60000);
        QTRY_COMPARE(logind.held(), 0);
        QCOMPARE(sim.recorder.status(), end == End::Unplug ? 8u : 10u);
        const QString call =
            "sleep:idle|" + QCoreApplication::applicationName() + "|Updating the recorder's firmware|block";
        QCOMPARE(logind.calls, logindThere ? QStringList{call} : QStringList{});
        QCOMPARE(log.messages().filter("SleepInhibitor: sleep not blocked:").size(), int(!logindThere));
        if (!logindThere)
            QVERIFY(flag(*window, "check")); // "Update complete"
        standIn.unregisterService("org.freedesktop.login1");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

QTEST_GUILESS_MAIN(TestSleepInhibitor)
#include "tst_sleepinhibitor.moc"
