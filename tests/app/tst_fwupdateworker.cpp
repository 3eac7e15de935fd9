// The update worker without a recorder: the checksum pre-check rule, the
// refusal of incomplete jobs, a failing update, and its self-deletion.
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <array>
#include <memory>

#include "apptiming.h"
#include "fwupdateworker.h"
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
        QTest::newRow("zero between readings") << 1000u << 0u << 1300u << false;
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
