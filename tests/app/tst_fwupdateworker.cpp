// The update worker's own rules; its updates are watched through the controller.
#include <QTest>

#include "apptiming.h"
#include "fwupdateworker.h"
#include "testsupport.h"
#include "updatejob.h"
#include "vzdevice.h"

namespace
{

// Runs the worker on this thread; its signals in order, texts included.
QStringList run(UpdateProgress *progress)
{
    FWUpdateWorker worker;
    worker.progress = progress;
    QStringList events;
    QObject::connect(&worker, &FWUpdateWorker::process_text, [&](const QString &text) { events << text; });
    QObject::connect(&worker, &FWUpdateWorker::error,
                     [&](const QString &text) { events << "error " + text; });
    QObject::connect(&worker, &FWUpdateWorker::completed, [&] { events << "completed"; });
    QObject::connect(&worker, &FWUpdateWorker::finished, [&] { events << "finished"; });
    captureOutput(1, [&] { worker.process(); }); // the library's progress lines
    return events;
}

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

    // Three checksum readings agree within 256; 0 is no reading only while an extreme is unset.
    void readingSpread_data()
    {
        QTest::addColumn<quint32>("first");
        QTest::addColumn<quint32>("second");
        QTest::addColumn<quint32>("third");
        QTest::addColumn<bool>("agree");
        QTest::newRow("no readings") << 0u << 0u << 0u << true;
        QTest::newRow("spread 256") << 1000u << 1256u << 1100u << true;
        QTest::newRow("spread 257") << 1257u << 1000u << 1100u << false;
        QTest::newRow("leading zero skipped") << 0u << 5000u << 5256u << true;
        QTest::newRow("later zero counts") << 5000u << 5100u << 0u << false;
        QTest::newRow("top of the range") << 0xFFFFFFFFu << 0xFFFFFF00u << 0xFFFFFFFEu << true;
        QTest::newRow("both ends") << 1u << 0xFFFFFFFFu << 1u << false;
    }
    void readingSpread()
    {
        QFETCH(quint32, first);
        QFETCH(quint32, second);
        QFETCH(quint32, third);
        QTEST(FWUpdateWorker::readingsAgree({first, second, third}), "agree");
    }

    void incompleteJobIsRefusedUntranslated()
    {
        VzDevice device;
        quint8 data[100] = {};
        UpdateJob noDevice{nullptr, data, 100}, noData{&device, nullptr, 100}, empty{&device, data, 0},
            negative{&device, data, -5};
        for (UpdateJob *job : {static_cast<UpdateJob *>(nullptr), &noDevice, &noData, &empty, &negative}) {
            UpdateProgress progress;
            progress.job = job;
            progress.status = 77;
            QCOMPARE(run(&progress), QStringList({"error Update error", "finished"}));
            QCOMPARE(progress.status.load(), 77u);
        }
        QCOMPARE(run(nullptr), QStringList({"error Update error", "finished"})); // no progress record
    }
};

QTEST_GUILESS_MAIN(TestFWUpdateWorker)
#include "tst_fwupdateworker.moc"
