// Page finding on real photographs of pages on desks: each photograph is filmed
// by the simulated camera's scene at its own size, the finder's outline compared
// with the true corners (tests/data/pages/corners.csv), then the time per frame
// at camera sizes; last, the rate a 30 fps simulated camera keeps with automatic
// crop on, filming a page.
#include "camera.h"
#include "documentcrop/pagefinder.h"
#include "pagephotos.h"
#include "sim/deskscene.h"
#include "sim/simulatedcamera.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

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

double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The least CPU time of several runs on one core (OpenCV's own threads held to
// this one): the finder's own cost, not the machine's load.
double millisecondsToFind(const Frame &frame, int runs)
{
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        findPageOutline(frame);
        fastest = std::min(fastest, (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start) * 1000);
    }
    cv::setNumThreads(threads);
    return fastest;
}

// Frames reaching the callback, and the capture thread's CPU time at the first
// and the last of them: its cost per frame whatever the machine's load.
std::atomic<int> delivered = 0;
std::atomic<double> firstCaptureCpu = 0;
std::atomic<double> lastCaptureCpu = 0;

void countFrame(const void *, int, int, int)
{
    const double cpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    if (delivered++ == 0)
        firstCaptureCpu = cpu;
    lastCaptureCpu = cpu;
}

// A 30 fps simulated camera filming scene at size, for three seconds: frames a
// second reaching the callback, pictures a second painted (sampled every 2 ms),
// the capture thread's and the whole process's CPU time per frame.
void printCameraRate(const QString &scene, Resolution size, bool autoCrop)
{
    Camera camera(std::make_unique<SimulatedCamera>(
        SimulatedCameraConfig{"15aa", "1555", {size}, 30, std::nullopt}, scene));
    camera.setAutoCrop(autoCrop);
    if (!camera.open(nullptr))
        return;
    // Counting starts once the page is found and straightened.
    const auto shownWidth = [&] {
        const FramePtr shown = camera.videoPicture().frame;
        return shown ? shown->width : 0;
    };
    while (shownWidth() == 0 || (autoCrop && shownWidth() == size.width))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    delivered = 0;
    camera.setCallback(&countFrame);
    int pictures = 0;
    FramePtr last;
    const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 3000) {
        FramePtr shown = camera.videoPicture().frame;
        pictures += int(shown != last);
        last = std::move(shown);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    camera.setCallback(nullptr);
    last.reset();
    camera.close();
    const int frames = delivered;
    std::printf("%4dx%-5d auto crop %-3s %8.1f %10.1f %14.1f %12.1f\n", size.width, size.height,
                autoCrop ? "on" : "off", frames / seconds, pictures / seconds,
                frames > 1 ? 1000 * (lastCaptureCpu - firstCaptureCpu) / (frames - 1) : 0.0,
                frames ? 1000 * cpu / frames : 0.0);
    std::fflush(stdout);
}

void printCameraRates()
{
    std::printf("%-25s %8s %10s %14s %12s\n", "30 fps camera", "fps", "painted/s", "capture ms CPU",
                "all ms CPU");
    for (const Resolution size : {Resolution{3840, 2160}, Resolution{4000, 3000}}) {
        for (const bool autoCrop : {false, true})
            printCameraRate(QStringLiteral(KELVORA_PAGE_PHOTOS "/sd_bg01_letter001_f0098.jpg"),
                            size, autoCrop);
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // An argument picks the photographs whose names contain it and skips the
    // timing; --camera only measures the camera's rate.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (only == QLatin1String("--camera")) {
        printCameraRates();
        return 0;
    }
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
    std::printf("\n");
    printCameraRates();
    return 0;
}
