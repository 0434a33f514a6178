// The presenter's pieces that need no camera: the frame buffer, code links and
// the annotation program's commands.

#include <QTest>
#include <QtEndian>

#include <set>
#include <thread>

#include "camera/barcodelink.h"
#include "camera/bmpframebuffer.h"
#include "camera/liveframebuffer.h"
#include "camera/presentercommand.h"

namespace {
quint32 le32(const QByteArray &bmp, int at)
{
    return qFromLittleEndian<quint32>(bmp.constData() + at);
}

// Bottom-up BGR rows whose first pixel byte is the row's number from the top.
QByteArray frameRows(int width, int height)
{
    QByteArray pixels(width * height * 3, '\0');
    for (int y = 0; y < height; ++y)
        pixels[(height - 1 - y) * width * 3] = char(y);
    return pixels;
}
} // namespace

class TestPresenterParts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void bmpHeaderBytes()
    {
        BmpFrameBuffer buffer;
        const QByteArray pixels = frameRows(4, 3);
        QVERIFY(buffer.store(pixels.constData(), 4, 3).accepted);
        QByteArray bmp;
        bool sizeChanged = false;
        QVERIFY(buffer.take(bmp, sizeChanged));
        QVERIFY(sizeChanged);
        QCOMPARE(bmp.size(), 54 + 36);
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        const QList<QPair<int, quint32>> fields = {{2, 90}, {6, 0},  {10, 54}, {14, 40},
                                                   {18, 4}, {22, 3}, {34, 36}, {38, 0},
                                                   {42, 0}, {46, 0}, {50, 0}};
        for (const auto &[offset, value] : fields)
            QCOMPARE(le32(bmp, offset), value);
        QCOMPARE(qFromLittleEndian<quint16>(bmp.constData() + 26), quint16(1));
        QCOMPARE(qFromLittleEndian<quint16>(bmp.constData() + 28), quint16(24));
        QCOMPARE(bmp.mid(54), pixels);

        // Rows carry no padding; at a width whose rows fill whole words Qt's own
        // reader sees the same upright picture as our decoding.
        QImage decoded;
        QVERIFY(decoded.loadFromData(bmp, "BMP"));
        const QImage ours = BmpFrameBuffer::toImage(bmp);
        QCOMPARE(ours.size(), QSize(4, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(ours.pixel(x, y) & RGB_MASK, decoded.pixel(x, y) & RGB_MASK);
        QCOMPARE(qBlue(ours.pixel(0, 2)), 2);
    }

    void onlyTheNewestFrameWaits()
    {
        BmpFrameBuffer buffer;
        const QByteArray small = frameRows(4, 2), tall = frameRows(4, 3);
        QVERIFY(buffer.store(small.constData(), 4, 2).notify);
        const BmpFrameBuffer::Stored second = buffer.store(tall.constData(), 4, 3);
        QVERIFY(second.accepted && !second.notify && second.sizeChanged);
        QCOMPARE(buffer.coalescedFrames(), quint64(1));

        QByteArray bmp;
        bool sizeChanged = false;
        QVERIFY(buffer.take(bmp, sizeChanged));
        QCOMPARE(le32(bmp, 22), 3u); // width kept, height changed: header rebuilt
        QVERIFY(sizeChanged);
        QVERIFY(!buffer.take(bmp, sizeChanged)); // nothing new

        QVERIFY(buffer.store(tall.constData(), 4, 3).notify);
        QVERIFY(buffer.take(bmp, sizeChanged));
        QVERIFY(!sizeChanged);
        QCOMPARE(bmp.mid(54), tall);
    }

    void liveFramesAreUprightWithAHalfLevel()
    {
        // Bottom-up BGR: blue = row from the top, green = column, red = 7.
        const int width = 2000, height = 2000; // just large enough for the level
        QByteArray pixels(width * height * 3, '\0');
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                char *p = pixels.data() + (qsizetype(height - 1 - y) * width + x) * 3;
                p[0] = char(y % 256), p[1] = char(x % 256), p[2] = 7;
            }
        LiveFrameBuffer buffer;
        QVERIFY(buffer.store(pixels.constData(), width, height).notify);
        LiveFrameBuffer::Frame frame;
        bool sizeChanged = false;
        QVERIFY(buffer.take(frame, sizeChanged) && sizeChanged);
        QCOMPARE(frame.full.size(), QSize(width, height));
        QCOMPARE(frame.full.pixel(3, 5), qRgb(7, 3, 5));
        QCOMPARE(frame.full.pixel(1999, 1998), qRgb(7, 1999 % 256, 1998 % 256));
        QCOMPARE(frame.half.size(), QSize(1000, 1000));
        QCOMPARE(frame.half.devicePixelRatio(), 0.5);
        // Means of 2x2: columns 6,7 and rows 10,11 give 6.5 and 10.5, rounded down.
        QCOMPARE(frame.half.pixel(3, 5), qRgb(7, 6, 10));

        const QByteArray odd = frameRows(2001, 2001);
        QVERIFY(buffer.store(odd.constData(), 2001, 2001).accepted);
        QVERIFY(buffer.take(frame, sizeChanged) && frame.half.isNull());

        // Handing the shown frame back as the next spare recycles four sets of
        // pictures: no allocation in a steady stream.
        const QByteArray small = frameRows(64, 48);
        LiveFrameBuffer::Frame shown, spare;
        std::set<const uchar *> pictures;
        for (int i = 0; i < 12; ++i) {
            buffer.store(small.constData(), 64, 48);
            QVERIFY(buffer.take(spare, sizeChanged));
            std::swap(spare, shown);
            pictures.insert(shown.full.constBits());
        }
        QCOMPARE(pictures.size(), size_t(4)); // filling, waiting, shown, spare
    }

    void impossibleSizesAreDropped()
    {
        // Zero width, negative height, too wide, too many pixels.
        const QSize sizes[] = {{0, 10}, {10, -1}, {BmpFrameBuffer::maxSide + 1, 1}, {12000, 12000}};
        for (const QSize size : sizes) {
            BmpFrameBuffer buffer;
            const char pixel[3] = {};
            QVERIFY(!buffer.store(pixel, size.width(), size.height()).accepted);
            QByteArray bmp;
            bool sizeChanged = false;
            QVERIFY(!buffer.take(bmp, sizeChanged));
        }
    }

    void framesFromAnotherThreadArriveWhole()
    {
        BmpFrameBuffer buffer;
        std::thread camera([&buffer] {
            for (int i = 0; i < 400; ++i) {
                const QByteArray frame(64 * 48 * 3, char(i));
                buffer.store(frame.constData(), 64, 48);
            }
        });
        QByteArray bmp;
        bool sizeChanged = false;
        int taken = 0;
        while (taken < 50) {
            if (!buffer.take(bmp, sizeChanged))
                continue;
            ++taken;
            const QByteArray pixels = bmp.mid(54);
            QCOMPARE(pixels.count(pixels.at(0)), pixels.size()); // never half of two frames
            if (pixels.at(0) == char(399))
                break;
        }
        camera.join();
    }

    void barcodeLinks()
    {
        const QPair<QString, QString> cases[] = {
            {"see: http://a.example/x?y=1\r\nmore", "http://a.example/x?y=1"}, // words, CR LF
            {"https://a.example/p\nnext", "https://a.example/p"},
            {"http://kelvora.example/scan?id=42", "http://kelvora.example/scan?id=42"}, // bare
            {"ISBN 978-3-16", ""},
            {"httpx://a.example", ""}, // another scheme
            {"http://", ""},           // no host
            {"http://a.example/a b", ""},
        };
        for (const auto &[text, link] : cases) {
            const QUrl found = barcodeLink(text);
            QCOMPARE(found.isValid() ? found.toString() : QString(), link);
        }
    }

    void commandPriority()
    {
        const QPair<QByteArray, PresenterCommand> cases[] = {
            {"RotateR", PresenterCommand::RotateRight},
            {"Photo RotateR", PresenterCommand::RotateRight},
            {"xxZommOutyy", PresenterCommand::Enlarge},
            {"ZommIn", PresenterCommand::Reduce},
            {"FreeZe ZommIn", PresenterCommand::Reduce},
            {"freeze photo", PresenterCommand::None}, // letter case counts
        };
        for (const auto &[text, command] : cases)
            QVERIFY2(presenterCommandIn(text) == command, text.constData());
    }
};

QTEST_MAIN(TestPresenterParts)
#include "test_presenterparts.moc"
