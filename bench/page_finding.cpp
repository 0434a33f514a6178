// Page finding on real photographs of pages on desks: each photograph is filmed
// by the simulated camera's scene at its own size, the finder's outline compared
// with the true corners (tests/data/pages/corners.csv), then the time per frame
// at camera sizes.
#include "documentcrop/pagefinder.h"
#include "pagephotos.h"
#include "sim/deskscene.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <cstdio>

using namespace optrelle;

namespace {

Frame sceneFrame(const QString &file, QSize size)
{
    Frame frame;
    frame.width = size.width();
    frame.height = size.height();
    frame.pixels.resize(frame.byteCount());
    DeskScene(file).render(frame, 0, {});
    return frame;
}

// The shortest of several runs: the finder's own cost, not the machine's load.
double millisecondsToFind(const Frame &frame, int runs)
{
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        findPageOutline(frame);
        fastest = std::min(fastest, double(timer.nsecsElapsed()) / 1e6);
    }
    return fastest;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // An argument picks the photographs whose names contain it and skips the timing.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::vector<PagePhoto> photos = readPagePhotos(QStringLiteral(KELVORA_PAGE_PHOTOS));
    std::erase_if(photos, [&](const PagePhoto &photo) { return !photo.path.contains(only); });
    if (photos.empty()) {
        std::fprintf(stderr, "no photographs in %s whose names contain \"%s\"\n",
                     KELVORA_PAGE_PHOTOS, qPrintable(only));
        return 1;
    }
    std::printf("%-30s %-60s %6s %7s %8s %s\n", "photograph", "found corners", "IoU", "corner",
                "ms", "verdict");
    int found = 0;
    int wrong = 0;
    for (const PagePhoto &photo : photos) {
        const QSize size = QImage(photo.path).size();
        const Frame frame = sceneFrame(photo.path, size);
        const std::optional<PageOutline> outline = findPageOutline(frame);
        const double ms = millisecondsToFind(frame, 5);
        const PageMatch match = matchPage(photo, outline, size);
        QString corners = QStringLiteral("whole frame");
        if (outline) {
            corners.clear();
            for (const QPointF &corner : outline->corners)
                corners +=
                    QStringLiteral("%1,%2 ").arg(corner.x(), 0, 'f', 0).arg(corner.y(), 0, 'f', 0);
        }
        const char *verdict = match.found ? "found" : outline ? "WRONG" : "missed";
        found += int(match.found);
        wrong += int(outline && !match.found);
        std::printf("%-30s %-60s %6.3f %6.1f%% %8.2f %s\n",
                    qPrintable(QFileInfo(photo.path).fileName()), qPrintable(corners), match.iou,
                    match.worstCornerShare * 100, ms, verdict);
        std::fflush(stdout);
    }
    const double count = double(photos.size());
    std::printf("\nfound %d of %d (%.0f %%), wrong crops %d (%.1f %%)\n", found, int(count),
                100 * found / count, wrong, 100 * wrong / count);
    if (!only.isEmpty())
        return 0;
    for (const QSize size : {QSize(1920, 1080), QSize(4000, 3000)}) {
        double total = 0;
        for (const PagePhoto &photo : photos)
            total += millisecondsToFind(sceneFrame(photo.path, size), 3);
        std::printf("time per frame at %dx%d: %.2f ms\n", size.width(), size.height(),
                    total / count);
        std::fflush(stdout);
    }
    return 0;
}
