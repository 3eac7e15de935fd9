// The update worker: the checksum pre-check rule, the refusal of incomplete
// jobs, success and failure against the simulated recorder, and its
// self-deletion with its thread.
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <array>
#include <memory>

#include "apptiming.h"
#include "fwupdateworker.h"
#include "simulatedrecorder.h"
#include "testsupport.h"
#include "updatejob.h"
#include "vzdevice.h"

namespace
{

// The worker's signals in the order they arrived here, texts included.
class WorkerJournal : public QObject
{
public:
    explicit WorkerJournal(FWUpdateWorker *worker)
    {
        connect(worker, &FWUpdateWorker::process_text, this,
                [this](const QString &text) { events.append("process_text:" + text); });
        connect(worker, &FWUpdateWorker::error, this,
                [this](const QString &text) { events.append("error:" + text); });
        connect(worker, &FWUpdateWorker::completed, this, [this] { events.append("completed"); });
        connect(worker, &FWUpdateWorker::finished, this, [this] { events.append("finished"); });
    }
    QStringList events;
};

} // namespace

class TestFWUpdateWorker : public QObject
{
    Q_OBJECT

    MarkingTranslator translator;

private slots:
    void initTestCase()
    {
        AppTiming::setScale(0.01);
        QCoreApplication::installTranslator(&translator);
    }

    void readingsAgree_data()
    {
        QTest::addColumn<quint32>("a");
        QTest::addColumn<quint32>("b");
        QTest::addColumn<quint32>("c");
        QTest::addColumn<bool>("agree");
        QTest::newRow("equal") << 5000u << 5000u << 5000u << true;
        QTest::newRow("spread 256") << 10u << 200u << 266u << true;
        QTest::newRow("spread 257") << 10u << 200u << 267u << false;
        QTest::newRow("spread 257 falling") << 267u << 200u << 10u << false;
        QTest::newRow("no readings") << 0u << 0u << 0u << true;
        QTest::newRow("zero is no reading") << 0u << 1000u << 1200u << true;
        // A 0 resets the running smallest, so the next reading replaces it.
        QTest::newRow("zero between readings") << 1000u << 0u << 1300u << true;
        QTest::newRow("zero after the spread") << 1000u << 1300u << 0u << false;
        QTest::newRow("wide apart") << 1u << 0xFFFFFFFFu << 1u << false;
    }
    void readingsAgree()
    {
        QFETCH(quint32, a);
        QFETCH(quint32, b);
        QFETCH(quint32, c);
        QTEST(FWUpdateWorker::readingsAgree({a, b, c}), "agree");
    }

    void incompleteJobIsRefusedUntranslated_data()
    {
        QTest::addColumn<bool>("withJob");
        QTest::addColumn<bool>("withDevice");
        QTest::addColumn<bool>("withData");
        QTest::addColumn<qint64>("size");
        QTest::newRow("no job") << false << true << true << qint64(100);
        QTest::newRow("no device") << true << false << true << qint64(100);
        QTest::newRow("no data") << true << true << false << qint64(100);
        QTest::newRow("size 0") << true << true << true << qint64(0);
        QTest::newRow("negative size") << true << true << true << qint64(-5);
    }
    void incompleteJobIsRefusedUntranslated()
    {
        QFETCH(bool, withJob);
        QFETCH(bool, withDevice);
        QFETCH(bool, withData);
        QFETCH(qint64, size);
        VzDevice device;
        quint8 data[100] = {};
        UpdateJob job;
        job.device = withDevice ? &device : nullptr;
        job.data = withData ? data : nullptr;
        job.size = size;
        UpdateProgress progress;
        progress.job = withJob ? &job : nullptr;
        progress.status = 77;

        FWUpdateWorker worker;
        worker.progress = &progress;
        WorkerJournal journal(&worker);
        worker.process();
        QCOMPARE(journal.events, QStringList({"error:Update error", "finished"}));
        QCOMPARE(progress.status.load(), 77u);
    }

    void workerWithoutProgressRecordIsRefused()
    {
        FWUpdateWorker worker;
        WorkerJournal journal(&worker);
        worker.process();
        QCOMPARE(journal.events, QStringList({"error:Update error", "finished"}));
    }

    void failingUpdateReportsTranslatedError()
    {
        // The port was never opened, so the update itself fails.
        VzDevice device;
        const QByteArray image = firmwareImage("VELDR-Q7", 100, 1);
        UpdateJob job{&device, reinterpret_cast<quint8 *>(const_cast<char *>(image.constData())),
                      image.size()};
        UpdateProgress progress;
        progress.job = &job;
        progress.done = 3;
        FWUpdateWorker worker;
        worker.progress = &progress;
        WorkerJournal journal(&worker);
        FdCapture out(1);
        worker.process();
        out.finish();
        QCOMPARE(journal.events, QStringList({"process_text:<FWUpdateWorker>Updating...",
                                              "error:<FWUpdateWorker>Update error", "finished"}));
        QCOMPARE(progress.done.load(), 3u); // left as the update left it
    }

    void successfulUpdate()
    {
        SimulatedRecorder sim;
        VzDevice device;
        QVERIFY(device.select_default());
        const QByteArray image = firmwareImage("VELDR-Q7", 102, 36, 5000);
        UpdateJob job{&device, reinterpret_cast<quint8 *>(const_cast<char *>(image.constData())),
                      image.size()};
        UpdateProgress progress;
        progress.job = &job;
        FWUpdateWorker worker;
        worker.progress = &progress;
        WorkerJournal journal(&worker);
        FdCapture out(1); // the library's progress lines
        worker.process();
        out.finish();
        QCOMPARE(journal.events,
                 QStringList({"process_text:<FWUpdateWorker>Updating...",
                              "process_text:<FWUpdateWorker>Update complete", "completed", "finished"}));
        QCOMPARE(progress.status.load(), 10u);
        QCOMPARE(progress.done.load(), 0u);
        QCOMPARE(progress.total.load(), quint32(image.size()));
        const std::vector<uint8_t> received = sim.recorder.receivedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(received.data()), int(received.size())), image);
    }

    void recorderErrorEndsTheUpdate()
    {
        SimulatedRecorder sim;
        sim.recorder.addFault(vzsim::Fault::error(0x55, 109).inStatus(8));
        VzDevice device;
        QVERIFY(device.select_default());
        const QByteArray image = firmwareImage("VELDR-Q7", 102, 36, 5000);
        UpdateJob job{&device, reinterpret_cast<quint8 *>(const_cast<char *>(image.constData())),
                      image.size()};
        UpdateProgress progress;
        progress.job = &job;
        FWUpdateWorker worker;
        worker.progress = &progress;
        WorkerJournal journal(&worker);
        FdCapture out(1);
        worker.process();
        out.finish();
        QCOMPARE(journal.events, QStringList({"process_text:<FWUpdateWorker>Updating...",
                                              "error:<FWUpdateWorker>Update error", "finished"}));
        QCOMPARE(progress.status.load(), 109u);       // kept for the final message
        QVERIFY(sim.recorder.requestCount(0x59) > 0); // it got as far as the transfer
    }

    void workerAndThreadDeleteThemselves()
    {
        UpdateProgress progress; // no job: the quickest complete run
        auto *thread = new QThread;
        auto *worker = new FWUpdateWorker;
        worker->progress = &progress;
        QSignalSpy workerGone(worker, &QObject::destroyed);
        QSignalSpy threadGone(thread, &QObject::destroyed);
        WorkerJournal journal(worker);
        worker->moveToThread(thread);
        connect(thread, &QThread::started, worker, &FWUpdateWorker::process);
        connect(worker, &FWUpdateWorker::finished, thread, &QThread::quit);
        connect(worker, &FWUpdateWorker::finished, worker, &QObject::deleteLater);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start();
        QTRY_COMPARE(threadGone.count(), 1);
        QCOMPARE(workerGone.count(), 1);
        QCOMPARE(journal.events, QStringList({"error:Update error", "finished"}));
    }
};

QTEST_GUILESS_MAIN(TestFWUpdateWorker)
#include "tst_fwupdateworker.moc"
