// The artwork against the window that draws it: natural sizes the layout
// relies on, white marks on transparency, and a background that stays dark
// wherever the window writes text on it.
#include <QImage>
#include <QImageReader>
#include <QtTest>

namespace
{

QString artwork(const QString &name)
{
    return QStringLiteral(VZ_RES_DIR "/") + name;
}

// Brightest pixel of a region, as grey level.
int brightest(const QImage &image, const QRect &region)
{
    int most = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x)
            most = qMax(most, qGray(image.pixel(x, y)));
    }
    return most;
}

// Rows of a column that hold any ink.
int inkHeight(const QImage &image, int x)
{
    int rows = 0;
    for (int y = 0; y < image.height(); ++y)
        rows += qAlpha(image.pixel(x, y)) > 64 ? 1 : 0;
    return rows;
}

} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void imagesHaveTheirNaturalSize_data();
    void imagesHaveTheirNaturalSize();
    void marksAreWhiteOnTransparency_data();
    void marksAreWhiteOnTransparency();
    void backMarkPointsLeft();
    void backgroundStaysDarkUnderText_data();
    void backgroundStaysDarkUnderText();
    void backgroundShowsTheRecorderOnTheLeft();
    void windowsIconHoldsEverySize();
};

void TestArtwork::imagesHaveTheirNaturalSize_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("bg") << "bg.png" << QSize(495, 360);
    QTest::newRow("sorave") << "sorave.png" << QSize(64, 11);
    QTest::newRow("veldracorderq7") << "veldracorderq7.png" << QSize(135, 13);
    QTest::newRow("sankaku") << "sankaku.png" << QSize(9, 9);
    QTest::newRow("icon-80") << "icon-80.png" << QSize(80, 80);
    QTest::newRow("logo") << "logo.png" << QSize(242, 73);
}

void TestArtwork::imagesHaveTheirNaturalSize()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    const QImage image(artwork(file));
    QVERIFY2(!image.isNull(), qPrintable(file + " does not load"));
    QCOMPARE(image.size(), size);
}

void TestArtwork::marksAreWhiteOnTransparency_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("sorave") << "sorave.png";
    QTest::newRow("veldracorderq7") << "veldracorderq7.png";
    QTest::newRow("sankaku") << "sankaku.png";
}

// The marks are drawn over the black background and over the black licence
// view alike: only white ink, everything else see-through.
void TestArtwork::marksAreWhiteOnTransparency()
{
    QFETCH(QString, file);
    const QImage image = QImage(artwork(file)).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    int inked = 0;
    int clear = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 0) {
                ++clear;
                continue;
            }
            ++inked;
            QVERIFY2(qRed(p) == 255 && qGreen(p) == 255 && qBlue(p) == 255,
                     qPrintable(QString("pixel %1,%2 is not white").arg(x).arg(y)));
        }
    }
    const int pixels = image.width() * image.height();
    QVERIFY2(inked > pixels / 5, "hardly any ink");
    QVERIFY2(clear > pixels / 5, "hardly any transparency");
}

void TestArtwork::backMarkPointsLeft()
{
    const QImage image = QImage(artwork("sankaku.png")).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!image.isNull());
    // The tip on the left is a point on the middle row; the base on the right is tall.
    QVERIFY(inkHeight(image, 1) <= 2);
    QVERIFY(inkHeight(image, 7) >= 7);
    QVERIFY(qAlpha(image.pixel(1, 4)) > 64);
    for (int x = 2; x < 8; ++x)
        QVERIFY2(inkHeight(image, x) >= inkHeight(image, x - 1), qPrintable(QString("column %1").arg(x)));
}

void TestArtwork::backgroundStaysDarkUnderText_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<int>("limit"); // brightest grey level that keeps white text readable
    QTest::newRow("information, versions, button") << QRect(207, 0, 288, 360) << 16;
    QTest::newRow("brand logo") << QRect(13, 13, 64, 11) << 16;
    QTest::newRow("serial number") << QRect(56, 275, 100, 36) << 48;
}

void TestArtwork::backgroundStaysDarkUnderText()
{
    QFETCH(QRect, region);
    QFETCH(int, limit);
    const QImage image(artwork("bg.png"));
    QVERIFY(!image.isNull());
    QVERIFY2(brightest(image, region) <= limit,
             qPrintable(QString("brightest %1").arg(brightest(image, region))));
}

void TestArtwork::backgroundShowsTheRecorderOnTheLeft()
{
    const QImage image(artwork("bg.png"));
    QVERIFY(!image.isNull());
    // Highlights of a lit object, well clear of the information box.
    QVERIFY(brightest(image, QRect(20, 30, 170, 240)) >= 200);
}

void TestArtwork::windowsIconHoldsEverySize()
{
    QImageReader reader(artwork("icon.ico"));
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    QSet<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        QVERIFY(reader.jumpToImage(i));
        const QImage image = reader.read();
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), image.height());
        sizes.insert(image.width());
    }
    for (int wanted : {16, 32, 64, 128, 256})
        QVERIFY2(sizes.contains(wanted), qPrintable(QString("no %1-pixel image").arg(wanted)));
}

QTEST_GUILESS_MAIN(TestArtwork)
#include "tst_artwork.moc"
