// The page-turn watcher on drawn scenes at 30 frames a second of simulated time:
// one still per page laid down by a hand, none at rest, at any camera noise.

#include <QRandomGenerator>
#include <QTest>

#include <vector>

#include "pagescenes.h"
#include "scanner/pageturnwatcher.h"

using namespace pagescenes;

namespace {
// Grey noise, uniform in -amplitude..amplitude, from six fields in turn: fresh
// noise for every frame would cost more than the watching under test.
struct NoisyCamera
{
    explicit NoisyCamera(int amplitude)
    {
        QRandomGenerator random(21);
        for (std::vector<int> &field : fields)
            for (int i = 0; i < size.width() * size.height(); ++i)
                field.push_back(amplitude ? int(random.bounded(2 * amplitude + 1)) - amplitude : 0);
    }
    QImage film(QImage scene)
    {
        auto *pixel = reinterpret_cast<QRgb *>(scene.bits());
        for (const int noise : fields[next++ % 6]) {
            const auto add = [noise](int value) { return qBound(0, value + noise, 255); };
            *pixel = qRgb(add(qRed(*pixel)), add(qGreen(*pixel)), add(qBlue(*pixel)));
            ++pixel;
        }
        return scene;
    }
    std::vector<int> fields[6];
    unsigned next = 0;
};
} // namespace

class TestPageTurnWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onePerPageNoneAtRest_data()
    {
        QTest::addColumn<int>("amplitude");
        QTest::newRow("clean camera") << 0;
        QTest::newRow("very noisy camera") << 24;
    }

    void onePerPageNoneAtRest()
    {
        QFETCH(int, amplitude);
        NoisyCamera camera(amplitude);
        PageTurnWatcher watcher;
        quint32 time = 0xffffffffu - 5000; // the tick count wraps on the way
        int restMs = 0;
        QList<int> stillsOf;
        const auto show = [&](const QImage &scene, int page, bool hand) {
            if (watcher.watch(camera.film(scene), time)) {
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

        // Five minutes at rest, five frames a second.
        QList<QImage> frames;
        for (int field = 0; field < 6; ++field)
            frames.append(camera.film(desk(5)));
        for (quint32 end = time + 5 * 60 * 1000; time != end; time += 200)
            QVERIFY(!watcher.watch(frames[time / 200 % 6], time));
    }
};

QTEST_MAIN(TestPageTurnWatcher)
#include "test_pageturnwatcher.moc"
