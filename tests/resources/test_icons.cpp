#include <QImage>
#include <QPixmap>
#include <QTest>

class TestIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void iconLoadsAndShowsSomething_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");
        const char *names[] = {
            "11",        "16cell",     "1cell",  "2cell",   "3cell",     "4cell", "P",
            "PPT",       "T",          "add",    "barcode", "cap",       "close", "comp",
            "compare",   "desktop",    "edit",   "exit",    "fitsrn",    "focus", "full",
            "fullsrn",   "lock",       "minus",  "open",    "rec",       "ret2",  "rotleft",
            "rotright",  "settings",   "snap",   "snap1",   "spotlight", "sub",   "swich",
            "videoprop", "visualizer", "zoomin", "zoomout"};
        for (const char *name : names) {
            const QString path = QStringLiteral(":/Resources/images/%1.png").arg(name);
            QTest::newRow(name) << path << 96;
        }
        QTest::newRow("static config")
            << QStringLiteral(":/res/img/resource/static/config.png") << 96;
        QTest::newRow("static close")
            << QStringLiteral(":/res/img/resource/static/close.png") << 96;
        QTest::newRow("app icon") << QStringLiteral(":/kelvora.png") << 256;
    }

    void iconLoadsAndShowsSomething()
    {
        QFETCH(QString, path);
        QFETCH(int, size);
        const QPixmap pixmap(path);
        QVERIFY2(!pixmap.isNull(), qPrintable(path));
        QCOMPARE(pixmap.size(), QSize(size, size));

        // A glyph needs visible pixels of more than one colour: a plate alone,
        // or an empty picture, says nothing.
        const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        QRgb first = 0;
        bool varied = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) < 200) {
                    continue;
                }
                if (opaque++ == 0) {
                    first = pixel;
                }
                varied = varied || pixel != first;
            }
        }
        QVERIFY2(opaque > size * size / 4, qPrintable(path));
        QVERIFY2(varied, qPrintable(path));
        // Corners stay transparent so the rounded plate sits on any background.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    }
};

QTEST_MAIN(TestIcons)
#include "test_icons.moc"
