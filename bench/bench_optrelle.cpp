// The camera library on large frames: how fast the simulated camera can hand
// frames to a callback, what painting one frame into a full-screen window costs,
// libturbojpeg decoding straight into bottom-up rows against decode-then-flip, and
// whether frame pacing keeps its rate; reading codes, finding and straightening
// the document page.
// Prints one table; run with `make bench`.
#include "barcodereader.h"
#include "camera.h"
#include "documentcrop/pagefinder.h"
#include "documentcrop/pagestraightener.h"
#include "sim/deskscene.h"
#include "sim/simulatedcamera.h"
#include "v4l2/jpegframedecoder.h"
#include "videopainter.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <turbojpeg.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

using namespace optrelle;

const Resolution sizes[] = {{1280, 720}, {1920, 1080}, {3840, 2160}, {4000, 3000}};
// A full-screen window and the snapshot window.
const QSize fullWindow(1920, 1040);
const QSize smallWindow(400, 300);

std::atomic<int> delivered = 0;

void countFrame(const void *, int, int, int)
{
    ++delivered;
}

// Milliseconds per call of work, over at least half a second.
template <typename Work> double millisecondsPerCall(Work work)
{
    work(); // warm caches and lazily made state
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    while (timer.elapsed() < 500 || calls < 5) {
        work();
        ++calls;
    }
    return double(timer.nsecsElapsed()) / 1e6 / calls;
}

// Frames a second reaching a callback from a simulated camera asked for rate.
double callbackRate(Resolution size, int rate)
{
    Camera camera(std::make_unique<SimulatedCamera>(
        SimulatedCameraConfig{"15aa", "1555", {size}, rate, std::nullopt}, QString()));
    camera.setCallback(&countFrame);
    if (!camera.open(nullptr))
        return 0;
    // The first frame draws the still part of the desk; count from the second.
    while (delivered == 0)
        std::this_thread::yield();
    delivered = 0;
    QElapsedTimer timer;
    timer.start();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int frames = delivered;
    const double seconds = timer.nsecsElapsed() / 1e9;
    camera.close();
    delivered = 0;
    return frames / seconds;
}

std::shared_ptr<Frame> deskFrame(Resolution size)
{
    auto frame = std::make_shared<Frame>();
    frame->width = size.width;
    frame->height = size.height;
    frame->pixels.resize(frame->byteCount());
    DeskScene().render(*frame, 1, QDateTime::currentDateTime());
    return frame;
}

double paintMilliseconds(const FramePtr &frame, QSize window)
{
    QImage target(window, QImage::Format_ARGB32_Premultiplied);
    return millisecondsPerCall([&] {
        QPainter painter(&target);
        paintVideo(painter, target.rect(), {frame, 0, 0, false, {}});
    });
}

std::vector<unsigned char> encodeJpeg(const Frame &frame)
{
    tjhandle encoder = tjInitCompress();
    unsigned char *jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(encoder, frame.pixels.data(), frame.width, int(frame.rowBytes()), frame.height,
                TJPF_BGR, &jpeg, &size, TJSAMP_422, 85, TJFLAG_BOTTOMUP);
    std::vector<unsigned char> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    return bytes;
}

void flipRows(const Frame &from, Frame &to)
{
    to.width = from.width;
    to.height = from.height;
    to.pixels.resize(from.byteCount());
    for (int y = 0; y < from.height; ++y)
        std::memcpy(to.pixels.data() + std::size_t(y) * from.rowBytes(), from.rowFromTop(y),
                    from.rowBytes());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("%-11s %13s %14s %14s %17s %21s\n", "frame", "callback fps", "paint full ms",
                "paint 400 ms", "decode bottom-up", "decode + flip ms");
    for (const Resolution size : sizes) {
        const std::shared_ptr<Frame> frame = deskFrame(size);
        const std::vector<unsigned char> jpeg = encodeJpeg(*frame);
        JpegFrameDecoder decoder;
        Frame decoded;
        Frame flipped;
        const double direct = millisecondsPerCall(
            [&] { decoder.decode(jpeg.data(), jpeg.size(), decoded, RowOrder::BottomUp); });
        const double viaFlip = millisecondsPerCall([&] {
            decoder.decode(jpeg.data(), jpeg.size(), decoded, RowOrder::TopDown);
            flipRows(decoded, flipped);
        });
        std::printf("%4dx%-6d %13.1f %14.2f %14.2f %14.2f ms %18.2f\n", size.width, size.height,
                    callbackRate(size, 240), paintMilliseconds(frame, fullWindow),
                    paintMilliseconds(frame, smallWindow), direct, viaFlip);
        std::fflush(stdout);
    }
    std::printf("\n%-11s %13s %14s %15s\n", "frame", "barcode ms", "find page ms", "straighten ms");
    for (const Resolution size : sizes) {
        const std::shared_ptr<Frame> frame = deskFrame(size);
        const std::optional<PageOutline> outline = findPageOutline(*frame);
        Frame page;
        std::printf("%4dx%-6d %13.2f %14.2f %15.2f\n", size.width, size.height,
                    millisecondsPerCall([&] { readLargestBarcode(*frame); }),
                    millisecondsPerCall([&] { findPageOutline(*frame); }),
                    outline ? millisecondsPerCall([&] { straightenPage(*frame, *outline, page); })
                            : -1.0);
        std::fflush(stdout);
    }
    // Pacing: a camera asked for 30 frames a second delivers 30, not more or less.
    std::printf("pacing: 1920x1080 asked for 30 fps delivers %.2f fps\n",
                callbackRate({1920, 1080}, 30));
    return 0;
}
