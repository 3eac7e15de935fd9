// vzquery update against vzsim through the recorder bridge: every refusal
// comes before the update starts, each failure has its exit status, and a
// sound image ends up installed.
#include <QtTest>

#include "test_images.h"
#include "vzsim_process.h"

class TstVzqueryUpdate : public QObject
{
    Q_OBJECT

private slots:
    void update_data()
    {
        QTest::addColumn<QStringList>("vzsimArgs");
        QTest::addColumn<QString>("product");
        QTest::addColumn<bool>("damaged");
        QTest::addColumn<QStringList>("toolArgs");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("words");
        const QString q7 = QStringLiteral("VELDR-Q7");
        QTest::newRow("complete") << QStringList{} << q7 << false << QStringList{} << 0 << "";
        QTest::newRow("no image") << QStringList{} << q7 << false << QStringList{"/nonexistent.prg"} << 3
                                  << "cannot read";
        QTest::newRow("damaged image") << QStringList{} << q7 << true << QStringList{} << 4 << "correct file";
        QTest::newRow("protocol 2") << QStringList{"--protocol", "2"} << q7 << false << QStringList{} << 5
                                    << "Device recognition failed.";
        QTest::newRow("flat battery")
            << QStringList{"--battery", "0"} << q7 << false << QStringList{} << 6 << "Install batteries";
        QTest::newRow("sibling model")
            << QStringList{} << "VD-NIMBO" << false << QStringList{} << 7 << "correct file";
        QTest::newRow("older") << QStringList{"--version", "1.05"} << q7 << false << QStringList{} << 8
                               << "older firmware";
        QTest::newRow("older, allowed")
            << QStringList{"--version", "1.05"} << q7 << false << QStringList{"--allow-older"} << 0 << "";
        QTest::newRow("recorder's error")
            << QStringList{"--fail-status", "0x53=106"} << q7 << false << QStringList{} << 9 << "ERR_SUMCHK";
        QTest::newRow("unplugged") << QStringList{"--unplug", "0x59,at=40"} << q7 << false << QStringList{}
                                   << 10 << "Restart the device's power";
        QTest::newRow("no recorder") << QStringList{"--unplug", "any"} << q7 << false << QStringList{} << 1
                                     << "did not answer";
        QTest::newRow("bad command line")
            << QStringList{} << q7 << false << QStringList{"--force"} << 2 << "usage: vzquery update";
    }
    void update()
    {
        QFETCH(QStringList, vzsimArgs);
        QFETCH(QString, product);
        QFETCH(bool, damaged);
        QFETCH(QStringList, toolArgs);
        QFETCH(int, exitCode);
        QFETCH(QString, words);
        QTemporaryDir dir;
        std::vector<uint8_t> image = simtest::makeImage(20000, product.toStdString());
        if (damaged)
            image[1000] ^= 0x40;
        QFile file(dir.filePath(QStringLiteral("fw.prg")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(reinterpret_cast<const char *>(image.data()),
                                                              qint64(image.size())) == qint64(image.size()));
        file.close();
        if (toolArgs.isEmpty() || toolArgs.last().startsWith(QLatin1String("--allow")))
            toolArgs << file.fileName();

        const QString socket = dir.filePath(QStringLiteral("rec.sock"));
        Vzsim vzsim(socket);
        const QString written = dir.filePath(QStringLiteral("written.prg"));
        QVERIFY(vzsim.start(QStringList(vzsimArgs) << "--instant"
                                                   << "--verbose"
                                                   << "--save-image" << written));
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VZMIDI_BRIDGE"), socket);
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(VZQUERY_PATH), QStringList{"update"} << toolArgs);
        QVERIFY(tool.waitForFinished(120000));
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QVERIFY2(err.contains(words), qPrintable(err));
        QCOMPARE(tool.exitCode(), exitCode);

        const bool refused = exitCode >= 2 && exitCode <= 8;
        QTRY_VERIFY(exitCode != 0 || vzsim.output().contains("firmware written, now version 1.02 build 40"));
        QVERIFY2(!refused || !vzsim.output().contains(QLatin1String("-> 0x51")), qPrintable(vzsim.output()));
        vzsim.process().terminate();
        QVERIFY(vzsim.process().waitForFinished(10000));
        QCOMPARE(QFile::exists(written), exitCode == 0);
        if (exitCode == 0) {
            QVERIFY(QString::fromLocal8Bit(tool.readAllStandardOutput()).contains("update complete"));
            QFile saved(written);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(),
                     QByteArray(reinterpret_cast<const char *>(image.data()), int(image.size())));
        }
    }
};

QTEST_GUILESS_MAIN(TstVzqueryUpdate)
#include "tst_vzquery_update.moc"
