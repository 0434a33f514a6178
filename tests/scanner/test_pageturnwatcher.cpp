// The page-turn watcher on drawn scenes at 30 frames a second of simulated time:
// pages laid down by a hand give one still each, a still desk none, at any
// noise level of the camera.

#include <QRandomGenerator>
#include <QTest>

#include "pagescenes.h"
#include "scanner/pageturnwatcher.h"

using namespace pagescenes;

namespace {
// Adds grey noise, uniform in -amplitude..amplitude, from six fields in turn:
// fresh noise for every frame would cost more than the watching under test.
QImage film(const QImage &scene, int amplitude, int frame)
{
    QRandomGenerator random(frame % 6);
    QImage noisy = scene;
    for (int y = 0; y < noisy.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(noisy.scanLine(y));
        for (int x = 0; x < noisy.width(); ++x) {
            const int noise = amplitude ? int(random.bounded(2 * amplitude + 1)) - amplitude : 0;
            line[x] =
                qRgb(qBound(0, qRed(line[x]) + noise, 255), qBound(0, qGreen(line[x]) + noise, 255),
                     qBound(0, qBlue(line[x]) + noise, 255));
        }
    }
    return noisy;
}
} // namespace

class TestPageTurnWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onePerPageNoneAtRest_data()
    {
        QTest::addColumn<int>("amplitude");
        QTest::newRow("clean camera") << 0;
        QTest::newRow("noisy camera") << 10;
        QTest::newRow("very noisy camera") << 24;
    }

    void onePerPageNoneAtRest()
    {
        QFETCH(int, amplitude);
        PageTurnWatcher watcher;
        quint32 time = 0xffffffffu - 5000; // the tick count wraps on the way
        int frame = 0, restMs = 0;
        QList<int> stillsOf;
        const auto show = [&](const QImage &scene, int page, bool hand) {
            if (watcher.watch(film(scene, amplitude, frame++), time)) {
                QVERIFY2(!hand && restMs <= 1500, qPrintable(QString::number(restMs)));
                stillsOf.append(page);
            }
            time += 33;
            restMs = hand ? 0 : restMs + 33;
        };
        // The bare desk, five pages, then the last one again: no new page.
        for (int page = 0; page <= 6; ++page) {
            if (page > 0)
                layPage(page, show);
            for (int still = 0; still < 60; ++still)
                show(desk(std::min(page, 5)), page, false);
        }
        QCOMPARE(stillsOf, (QList<int>{1, 2, 3, 4, 5}));

        // Five minutes at rest, ten frames a second.
        QList<QImage> frames;
        for (int field = 0; field < 6; ++field)
            frames.append(film(desk(5), amplitude, field));
        for (quint32 end = time + 5 * 60 * 1000; time != end; time += 100)
            QVERIFY(!watcher.watch(frames[frame++ % 6], time));
    }
};

QTEST_MAIN(TestPageTurnWatcher)
#include "test_pageturnwatcher.moc"
