#include <QDirIterator>
#include <QImage>
#include <QTest>

class TestIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyIconShowsSomething()
    {
        QStringList paths = {":/kelvora.png"};
        for (const QString root : {":/Resources", ":/res"})
            for (QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
                paths.append(it.next());
        QVERIFY(paths.size() > 40);
        for (const QString &path : paths) {
            const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
            QVERIFY2(image.width() >= 96 && image.width() == image.height(), qPrintable(path));
            // A glyph needs visible pixels of more than one colour: a plate alone,
            // or an empty picture, says nothing.
            int opaque = 0;
            QRgb first = 0;
            bool varied = false;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (const QRgb pixel = image.pixel(x, y); qAlpha(pixel) >= 200) {
                        first = opaque++ ? first : pixel;
                        varied = varied || pixel != first;
                    }
            QVERIFY2(opaque > image.width() * image.height() / 4 && varied, qPrintable(path));
            // Corners stay transparent so the rounded plate sits on any background.
            QVERIFY2(qAlpha(image.pixel(0, 0)) == 0, qPrintable(path));
        }
    }
};

QTEST_MAIN(TestIcons)
#include "test_icons.moc"
