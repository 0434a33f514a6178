// The video recorder at camera sizes: frames a second it encodes when fed as fast
// as it takes them, and the share it drops when frames come at 30 a second, as a
// camera sends them. Frames are the simulated desk with light sensor noise, each
// different from the last as a real camera's are; the recorder turns them upright
// as the camera's renderer does. Prints one table; run with `make bench`.
#include "cameradevice.h"
#include "frameimage.h"
#include "recording/videorecorder.h"
#include "sim/deskscene.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <semaphore>
#include <thread>

namespace {

using namespace optrelle;
using Clock = std::chrono::steady_clock;

const Resolution sizes[] = {{1280, 720}, {1920, 1080}, {2592, 1944}, {3840, 2160}};
constexpr int framesPerSecond = 30;
constexpr auto frameInterval = std::chrono::microseconds(1'000'000 / framesPerSecond);
// Three seconds at 30 fps; the fast run stops earlier after two seconds.
constexpr int framesPerRun = 90;
constexpr auto fastRunLimit = std::chrono::seconds(2);
constexpr int distinctFrames = 4;
constexpr double acceptableDropPercent = 1.0;

std::vector<FramePtr> noisyDeskFrames(Resolution size)
{
    DeskScene scene;
    std::vector<FramePtr> frames;
    std::uint32_t noise = 12345;
    for (int i = 0; i < distinctFrames; ++i) {
        auto frame = std::make_shared<Frame>(Frame{size.width, size.height, {}});
        frame->pixels.resize(frame->byteCount());
        scene.render(*frame, quint64(i), QDateTime::currentDateTime());
        for (std::uint8_t &value : frame->pixels) {
            noise = noise * 1664525u + 1013904223u;
            value = std::uint8_t(std::clamp(int(value) + int((noise >> 24) % 5) - 2, 0, 255));
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::int64_t microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
}

// Frames a second when each frame is pushed as soon as the queue has room, with
// the timestamps of a 30 fps camera.
double encodeRate(const QString &path, const std::vector<FramePtr> &frames)
{
    std::counting_semaphore<> room(VideoRecorder::queueDepth);
    VideoRecorder recorder;
    const QSize size(frames[0]->width, frames[0]->height);
    if (!recorder.start(path, size, [&](const Frame &frame) {
            room.release();
            return frameToImage(frame);
        }))
        return 0;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < framesPerRun && Clock::now() - start < fastRunLimit; ++i) {
        room.acquire();
        recorder.push(frames[std::size_t(i % distinctFrames)], i * frameInterval.count());
    }
    recorder.stop();
    return recorder.encodedFrames() / (double(microsecondsSince(start)) / 1e6);
}

// Share of frames dropped, in percent, when they come at the camera's pace.
double dropPercentAtCameraRate(const QString &path, const std::vector<FramePtr> &frames)
{
    VideoRecorder recorder;
    const QSize size(frames[0]->width, frames[0]->height);
    if (!recorder.start(path, size, [](const Frame &frame) { return frameToImage(frame); }))
        return 100;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < framesPerRun; ++i) {
        std::this_thread::sleep_until(start + i * frameInterval);
        recorder.push(frames[std::size_t(i % distinctFrames)], microsecondsSince(start));
    }
    recorder.stop();
    return 100.0 * recorder.droppedFrames() / framesPerRun;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.filePath("bench.wmv");
    std::printf("%-11s %-11s %11s %18s\n", "frame", "recorded", "encode fps", "dropped at 30 fps");
    QString largestSustained = QStringLiteral("none");
    for (const Resolution size : sizes) {
        const std::vector<FramePtr> frames = noisyDeskFrames(size);
        const QSize recorded = VideoRecorder::recordingSize({size.width, size.height});
        const double rate = encodeRate(path, frames);
        const double dropped = dropPercentAtCameraRate(path, frames);
        std::printf("%4dx%-6d %4dx%-6d %11.1f %17.1f%%\n", size.width, size.height,
                    recorded.width(), recorded.height(), rate, dropped);
        std::fflush(stdout);
        if (dropped < acceptableDropPercent)
            largestSustained = QStringLiteral("%1x%2").arg(size.width).arg(size.height);
    }
    std::printf("largest frame recorded at 30 fps with under 1%% dropped: %s\n",
                qPrintable(largestSustained));
    return 0;
}
