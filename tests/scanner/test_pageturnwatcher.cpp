// The page-turn watcher on drawn scenes at 30 frames a second of simulated time:
// pages laid down by a hand give one still each, a still desk gives none, at
// any noise level of the camera.

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <vector>

#include "pagescenes.h"
#include "scanner/pageturnwatcher.h"

namespace {
constexpr int frameMs = 33;
using namespace pagescenes;

// Noise fields added in turn to the frames: drawing fresh noise for every frame
// would cost more than the watching under test.
class NoisyCamera
{
public:
    explicit NoisyCamera(double sigma)
    {
        QRandomGenerator random(21);
        for (auto &field : m_fields) {
            field.resize(std::size_t(size.width()) * size.height() * 3);
            for (auto &sample : field)
                sample = int(sigma * std::sqrt(-2 * std::log(1 - random.generateDouble())) *
                             std::cos(6.2831853 * random.generateDouble()));
        }
    }

    QImage film(const QImage &scene)
    {
        QImage frame = scene.convertToFormat(QImage::Format_RGB32);
        const std::vector<int> &field = m_fields[m_next++ % m_fields.size()];
        std::size_t i = 0;
        for (int y = 0; y < frame.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(frame.scanLine(y));
            for (int x = 0; x < frame.width(); ++x, i += 3)
                line[x] = qRgb(qBound(0, qRed(line[x]) + field[i], 255),
                               qBound(0, qGreen(line[x]) + field[i + 1], 255),
                               qBound(0, qBlue(line[x]) + field[i + 2], 255));
        }
        return frame;
    }

private:
    std::vector<std::vector<int>> m_fields{6};
    std::size_t m_next = 0;
};

} // namespace

class TestPageTurnWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onePerPageLaidDown_data()
    {
        QTest::addColumn<double>("sigma");
        QTest::newRow("clean camera") << 0.0;
        QTest::newRow("noisy camera") << 5.0;
        QTest::newRow("very noisy camera") << 12.0;
    }

    void onePerPageLaidDown()
    {
        QFETCH(double, sigma);
        NoisyCamera camera(sigma);
        PageTurnWatcher watcher;
        quint32 time = 0xffffffffu - 5000; // the tick count wraps on the way
        QList<int> stillsOf;
        int restMs = 0;
        const auto show = [&](const QImage &scene, int page, bool hand) {
            const bool due = watcher.watch(camera.film(scene), time);
            if (due) {
                QVERIFY2(!hand, "a still of the hand");
                stillsOf.append(page);
                QVERIFY2(restMs <= 1500, qPrintable(QString::number(restMs)));
            }
            time += frameMs;
            restMs = hand ? 0 : restMs + frameMs;
        };
        for (int frame = 0; frame < 60; ++frame)
            show(desk(0), 0, false);
        for (int page = 1; page <= 5; ++page) {
            layPage(page, show);
            for (int frame = 0; frame < 60; ++frame)
                show(desk(page), page, false);
        }
        QCOMPARE(stillsOf, (QList<int>{1, 2, 3, 4, 5}));

        // The same page laid down again is no new page.
        for (int step = 0; step < 15; ++step)
            show(withHand(desk(5), 360 - step * 16), 5, true);
        for (int frame = 0; frame < 60; ++frame)
            show(desk(5), 5, false);
        QCOMPARE(stillsOf.size(), 5);
    }

    void noneForFiveStillMinutes()
    {
        NoisyCamera camera(12);
        std::vector<QImage> frames;
        for (int i = 0; i < 6; ++i)
            frames.push_back(camera.film(desk(3)));
        PageTurnWatcher watcher;
        int stills = 0;
        // Ten frames a second are enough to see nothing happen.
        for (quint32 time = 0; time < 5 * 60 * 1000; time += 100)
            stills += watcher.watch(frames[time / 100 % frames.size()], time);
        QCOMPARE(stills, 0);
    }
};

QTEST_MAIN(TestPageTurnWatcher)
#include "test_pageturnwatcher.moc"
