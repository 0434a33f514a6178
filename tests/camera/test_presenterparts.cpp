// The presenter's pieces that need no camera: the frame buffer, the no-signal
// mark, code links and the annotation program's commands.

#include <QTest>

#include <thread>

#include "camera/barcodelink.h"
#include "camera/liveframebuffer.h"
#include "camera/nosignalmark.h"
#include "camera/presentercommand.h"

namespace {
// Bottom-up BGR rows whose first pixel byte is the row's number from the top.
QByteArray frameRows(int width, int height)
{
    QByteArray pixels(width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        pixels[(height - 1 - y) * width * 3] = char(y);
    return pixels;
}

// Bottom-up BGR: blue = row from the top, green = column, red = 7.
QByteArray ramps(int width, int height)
{
    QByteArray pixels(width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            char *p = pixels.data() + (qsizetype(height - 1 - y) * width + x) * 3;
            p[0] = char(y % 256), p[1] = char(x % 256), p[2] = 7;
        }
    return pixels;
}
} // namespace

class TestPresenterParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void liveFramesAreUprightWithTheLevelPainted()
    {
        const int width = 2000, height = 2000; // just large enough for the half level
        const QByteArray pixels = ramps(width, height);
        LiveFrameBuffer buffer;
        QVERIFY(buffer.store(pixels.constData(), width, height).notify);
        LiveFrameBuffer::Frame frame;
        bool sizeChanged = false;
        QVERIFY(buffer.take(frame, sizeChanged) && sizeChanged);
        QCOMPARE(frame.full.pixel(3, 5), qRgb(7, 3, 5));
        QCOMPARE(frame.level.size(), QSize(1000, 1000));
        // Means of 2x2: columns 6,7 and rows 10,11 give 6.5 and 10.5, rounded down.
        QCOMPARE(frame.level.pixel(3, 5), qRgb(7, 6, 10));

        // Painted at half size, the full frame is left out; the same level is made alone.
        buffer.setPainting(0.5, false);
        QVERIFY(buffer.store(pixels.constData(), width, height).notify);
        QVERIFY(buffer.take(frame, sizeChanged) && !sizeChanged && !buffer.newestHasFull());
        QVERIFY(frame.full.isNull());
        QCOMPARE(frame.level.pixel(3, 5), qRgb(7, 6, 10));

        // Without a level (odd side) the full frame is always made.
        const QByteArray odd = frameRows(2001, 2001);
        QVERIFY(buffer.store(odd.constData(), 2001, 2001).accepted);
        QVERIFY(buffer.take(frame, sizeChanged) && frame.level.isNull() && !frame.full.isNull());

        // A smaller frame painted smaller gets a level of the painted size alone,
        // sampled between the frame's pixels: a ramp stays a ramp.
        buffer.setPainting(0.75, false);
        QVERIFY(buffer.store(ramps(200, 100).constData(), 200, 100).accepted);
        QVERIFY(buffer.take(frame, sizeChanged) && frame.full.isNull());
        QCOMPARE(frame.level.size(), QSize(150, 75));
        QCOMPARE(frame.level.devicePixelRatio(), 0.75);
        // Picture column 99's centre lies at frame column 132.17, row 29's at 38.83.
        QCOMPARE(frame.level.pixel(99, 29), qRgb(7, 132, 39));
        QCOMPARE(frame.level.pixel(149, 74), qRgb(7, 199, 99));

        // Zero width, negative height, too wide, too many pixels: never enter.
        const QSize sizes[] = {
            {0, 10}, {10, -1}, {LiveFrameBuffer::maxSide + 1, 1}, {12000, 12000}};
        for (const QSize size : sizes)
            QVERIFY(!buffer.store(pixels.constData(), size.width(), size.height()).accepted);
        QVERIFY(!buffer.take(frame, sizeChanged));
    }

    void framesFromAnotherThreadArriveWhole()
    {
        LiveFrameBuffer buffer;
        std::thread camera([&buffer] {
            for (int i = 0; i < 400; ++i) {
                const QByteArray frame(64 * 48 * 3, char(i));
                buffer.store(frame.constData(), 64, 48);
            }
        });
        LiveFrameBuffer::Frame frame;
        bool sizeChanged = false;
        for (int taken = 0; taken < 50;) {
            if (!buffer.take(frame, sizeChanged))
                continue;
            ++taken;
            const QRgb first = frame.full.pixel(0, 0);
            for (int y = 0; y < 48; ++y) // never half of two frames
                for (int x = 0; x < 64; ++x)
                    QCOMPARE(frame.full.pixel(x, y), first);
            if (qBlue(first) == 399 % 256)
                break;
        }
        camera.join();
    }

    void noSignalMarkFollowsTheFrames()
    {
        QWidget picture;
        picture.resize(700, 420);
        picture.show();
        NoSignalMark mark(&picture);
        mark.frameArrived();
        QTRY_VERIFY(mark.isVisible()); // then no frame for a second
        QCOMPARE(mark.text(), QString("无信号  No signal"));
        mark.frameArrived();
        QTRY_VERIFY(!mark.isVisible());
    }

    void barcodeLinks()
    {
        const QPair<QString, QString> cases[] = {
            {"see: http://a.example/x?y=1\r\nmore", "http://a.example/x?y=1"}, // words, CR LF
            {"ISBN 978-3-16", ""},
            {"httpx://a.example", ""}, // another scheme
            {"http://", ""},           // no host
        };
        for (const auto &[text, link] : cases) {
            const QUrl found = barcodeLink(text);
            QCOMPARE(found.isValid() ? found.toString() : QString(), link);
        }
    }

    void commandPriority()
    {
        const QPair<QByteArray, PresenterCommand> cases[] = {
            {"Photo RotateR", PresenterCommand::RotateRight},
            {"xxZommOutyy", PresenterCommand::Enlarge},
            {"FreeZe ZommIn", PresenterCommand::Reduce},
            {"freeze photo", PresenterCommand::None}, // letter case counts
        };
        for (const auto &[text, command] : cases)
            QVERIFY2(presenterCommandIn(text) == command, text.constData());
    }
};

QTEST_MAIN(TestPresenterParts)
#include "test_presenterparts.moc"
