// The live frame path of the presenter view, end to end: a simulated camera feeds
// QMainWidget in a 1920x1040 window, and per frame size and camera rate this
// prints the rate delivered and shown, frames coalesced, latency from the frame
// callback to the end of the paint that shows it, decode and paint times, CPU per
// shown frame and resident memory.
//
// frame_path           short run (ctest, label bench): few frames per case
// frame_path --full    5000 frames per case
// frame_path --frames N
// frame_path --streams [--frames N]  recorded MJPEG camera streams (4:2:2 q88, made
//                      here by makecamerastream) at 1920x1080 and 4000x3000, 30 fps,
//                      through the V4L2 backend, with the decode limit: the frames a
//                      second one bare libturbojpeg loop decodes from the same stream,
//                      and stills: the camera's own JPEG (time, byte for byte) and,
//                      turned, against libturbojpeg's bare encode of the same picture;
//                      a still's time is wall clock (with the file's sync to disk) and,
//                      in brackets, the processor time of the thread that took it
// Runs offscreen unless QT_QPA_PLATFORM is set; on a real X server, e.g.
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" frame_path --full
//
// The library enumerates cameras once per process, so every case runs in a child
// process of this program (frame_path --case W H FPS FRAMES [STREAM]).
#include <QApplication>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QGraphicsView>
#include <QMutex>
#include <QMutexLocker>
#include <QPixmap>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

#include "camera/qmainwidget.h"
#include "common/programwide.h"
#include "optrelle.h"
#include "shell/settingsstrings.h"
#include "viewing/qimageitem.h"

namespace {

qint64 nowNs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

double residentMiB()
{
    long pages = 0, resident = 0;
    if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = size_t(fraction * double(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

double mean(const std::vector<double> &values)
{
    double sum = 0;
    for (double value : values)
        sum += value;
    return values.empty() ? 0 : sum / double(values.size());
}

enum class Phase
{
    WarmUp,
    Presenter,
    Done
};

// Shared with the camera thread. The mutex makes "store the frame" and "note its
// callback time" one step, so whoever takes the newest frame under it also reads
// that frame's time.
QMutex frameMutex;
qint64 newestStamp = 0;
std::atomic<int> callbacks = 0;
std::atomic<Phase> phase = Phase::WarmUp;

void benchFrame(const void *data, int width, int height, int)
{
    const qint64 stamp = nowNs();
    QMutexLocker lock(&frameMutex);
    if (presenterView)
        presenterView->storeFrame(data, width, height);
    newestStamp = stamp;
    ++callbacks;
}

// Measurements of one phase, all on the GUI thread.
struct Tally
{
    std::vector<double> latencyMs, decodeMs, paintMs;
    int shown = 0;
    int decodedUnshown = 0; // decoded, then replaced before any paint showed it
};
Tally tally;
qint64 pendingStamp = 0; // callback time of the decoded frame not yet painted

void frameDecoded(qint64 stamp, qint64 start, qint64 end)
{
    tally.decodeMs.push_back(double(end - start) / 1e6);
    if (pendingStamp != 0)
        ++tally.decodedUnshown;
    pendingStamp = stamp;
}

// Times the presenter's own frame slot and the viewport's paints by delivering
// those events itself, so it sees both their start and their end.
class Probe : public QObject
{
public:
    Probe(QObject *presenter, QObject *viewport) : m_presenter(presenter), m_viewport(viewport) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_delivering)
            return false;
        if (watched == m_presenter && event->type() == QEvent::MetaCall)
            return frameSlot(event);
        if (watched == m_viewport && event->type() == QEvent::Paint)
            return paint(event);
        return false;
    }

private:
    bool deliver(QObject *to, QEvent *event)
    {
        m_delivering = true;
        QCoreApplication::sendEvent(to, event);
        m_delivering = false;
        return true;
    }

    // The only queued calls the presenter gets here are its frameChange signals.
    bool frameSlot(QEvent *event)
    {
        qint64 stamp = 0;
        {
            // The slot takes the newest frame microseconds later; a frame stored
            // in between makes the latency read up to one frame interval long.
            QMutexLocker lock(&frameMutex);
            stamp = newestStamp;
        }
        const qint64 key = livePictureItem ? livePictureItem->pixmap().cacheKey() : 0;
        const qint64 start = nowNs();
        deliver(m_presenter, event);
        const qint64 end = nowNs();
        const bool decoded = livePictureItem && livePictureItem->pixmap().cacheKey() != key;
        if (decoded && (phase == Phase::WarmUp || phase == Phase::Presenter))
            frameDecoded(stamp, start, end);
        return true;
    }

    bool paint(QEvent *event)
    {
        const qint64 start = nowNs();
        deliver(m_viewport, event);
        const qint64 end = nowNs();
        if (pendingStamp != 0) {
            tally.paintMs.push_back(double(end - start) / 1e6);
            tally.latencyMs.push_back(double(end - pendingStamp) / 1e6);
            ++tally.shown;
            pendingStamp = 0;
        }
        return true;
    }

    QObject *m_presenter, *m_viewport;
    bool m_delivering = false;
};

struct Span
{
    qint64 wall = 0, cpu = 0, guiCpu = 0;
    int callbacks = 0;
    quint64 coalesced = 0;
    double rss = 0;
};

Span mark()
{
    return {nowNs(),
            nowNs(CLOCK_PROCESS_CPUTIME_ID),
            nowNs(CLOCK_THREAD_CPUTIME_ID),
            callbacks.load(),
            presenterView->frameBuffer().coalescedFrames(),
            residentMiB()};
}

struct PhaseResult
{
    double deliveredFps = 0, shownFps = 0, cpuMs = 0, guiCpuMs = 0, rssBefore = 0, rssAfter = 0;
    quint64 coalesced = 0;
    int frames = 0;
    Tally tally;
};

PhaseResult finish(const Span &from, const Span &to, quint64 coalesced)
{
    PhaseResult result;
    const double seconds = double(to.wall - from.wall) / 1e9;
    result.frames = to.callbacks - from.callbacks;
    result.deliveredFps = result.frames / seconds;
    result.tally = std::move(tally);
    tally = {};
    result.shownFps = result.tally.shown / seconds;
    const int shown = std::max(result.tally.shown, 1);
    result.cpuMs = double(to.cpu - from.cpu) / 1e6 / shown;
    result.guiCpuMs = double(to.guiCpu - from.guiCpu) / 1e6 / shown;
    result.rssBefore = from.rss;
    result.rssAfter = to.rss;
    result.coalesced = coalesced;
    return result;
}

// The stream's JPEG frames, split at their start-of-image markers.
std::vector<QByteArrayView> streamFrames(const QByteArray &stream)
{
    std::vector<QByteArrayView> frames;
    for (qsizetype at = stream.indexOf("\xff\xd8\xff"); at >= 0;) {
        const qsizetype next = stream.indexOf("\xff\xd8\xff", at + 3);
        frames.emplace_back(stream.constData() + at, (next < 0 ? stream.size() : next) - at);
        at = next;
    }
    return frames;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Stills
{
    double plainMs = 0, turnedMs = 0, bareEncodeMs = 0;
    double plainCpuMs = 0, turnedCpuMs = 0; // the calling thread's processor time
    bool cameraBytes = false;               // every plain still is one of the stream's frames
};

// Median times of five stills while the camera streams: as the camera sent it,
// then turned a quarter, against libturbojpeg encoding the turned picture alone
// (quality 95, 4:2:0, as the still is written).
Stills measureStills(int camera, const QString &streamPath)
{
    Stills stills;
    const QByteArray stream = readFile(streamPath);
    const std::vector<QByteArrayView> frames = streamFrames(stream);
    const QString folder = QDir::tempPath() + QStringLiteral("/frame_path-%1").arg(getpid());
    QDir().mkpath(folder);
    const QByteArray plain = (folder + QStringLiteral("/plain.jpg")).toLocal8Bit(),
                     turned = (folder + QStringLiteral("/turned.jpg")).toLocal8Bit();
    std::vector<double> plainMs, turnedMs, encodeMs, plainCpuMs, turnedCpuMs;
    stills.cameraBytes = true;
    for (int i = 0; i < 5; ++i) {
        qint64 start = nowNs(), cpu = nowNs(CLOCK_THREAD_CPUTIME_ID);
        const bool stored = fnCapture(camera, const_cast<char *>(plain.constData())) != 0;
        plainMs.push_back(double(nowNs() - start) / 1e6);
        plainCpuMs.push_back(double(nowNs(CLOCK_THREAD_CPUTIME_ID) - cpu) / 1e6);
        const QByteArray bytes = readFile(QString::fromLocal8Bit(plain));
        stills.cameraBytes =
            stills.cameraBytes && stored &&
            std::find(frames.begin(), frames.end(), QByteArrayView(bytes)) != frames.end();
        fnRotateRight(camera);
        start = nowNs(), cpu = nowNs(CLOCK_THREAD_CPUTIME_ID);
        fnCapture(camera, const_cast<char *>(turned.constData()));
        turnedMs.push_back(double(nowNs() - start) / 1e6);
        turnedCpuMs.push_back(double(nowNs(CLOCK_THREAD_CPUTIME_ID) - cpu) / 1e6);
        fnRotateLeft(camera);

        const QImage picture(QString::fromLocal8Bit(turned));
        const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
        tjhandle encoder = tjInitCompress();
        unsigned char *jpeg = nullptr;
        unsigned long size = 0;
        start = nowNs();
        tjCompress2(encoder, bgr.constBits(), bgr.width(), int(bgr.bytesPerLine()), bgr.height(),
                    TJPF_RGB, &jpeg, &size, TJSAMP_420, 95, 0);
        encodeMs.push_back(double(nowNs() - start) / 1e6);
        tjFree(jpeg);
        tjDestroy(encoder);
    }
    QDir(folder).removeRecursively();
    stills.plainMs = percentile(plainMs, 0.5);
    stills.turnedMs = percentile(turnedMs, 0.5);
    stills.bareEncodeMs = percentile(encodeMs, 0.5);
    stills.plainCpuMs = percentile(plainCpuMs, 0.5);
    stills.turnedCpuMs = percentile(turnedCpuMs, 0.5);
    return stills;
}

int runCase(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    const int frames = std::atoi(argv[5]);
    const QString streamPath = argc > 6 ? QString::fromLocal8Bit(argv[6]) : QString();
    QApplication app(argc, argv);

    SettingsStrings settings;
    auto *view = new QMainWidget(settings);
    view->resize(1920, 1040);
    view->show();
    auto *stage = view->findChild<QGraphicsView *>();
    if (!stage)
        return 3;
    Probe probe(view, stage->viewport());
    view->installEventFilter(&probe);
    stage->viewport()->installEventFilter(&probe);
    fnSetVideoCB(view->m_nMainCam, reinterpret_cast<void *>(&benchFrame));

    // Warm-up: the first frames fit the picture and fill caches and pools, so
    // memory is compared from there on.
    const int warmUpShown = frames >= 1000 ? 10 : 3; // short runs must stay short
    Span start;
    PhaseResult presenter;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        switch (phase.load()) {
        case Phase::WarmUp:
            if (tally.shown >= warmUpShown) {
                tally = {};
                pendingStamp = 0;
                start = mark();
                phase = Phase::Presenter;
            }
            break;
        case Phase::Presenter:
            if (callbacks - start.callbacks >= frames) {
                const Span end = mark();
                presenter = finish(start, end, end.coalesced - start.coalesced);
                phase = Phase::Done;
                app.quit();
            }
            break;
        case Phase::Done:
            break;
        }
    });
    poll.start(5);
    app.exec();

    const Stills stills =
        streamPath.isEmpty() ? Stills() : measureStills(view->m_nMainCam, streamPath);
    fnSetVideoCB(view->m_nMainCam, nullptr);
    const Tally &ours = presenter.tally;
    std::printf("ROW|%sx%s|%s|%d|%.1f|%.1f|%llu|%d|%.1f|%.1f|%.2f|%.2f|%.2f|%.2f|%.0f|%.0f",
                argv[2], argv[3], argv[4], presenter.frames, presenter.deliveredFps,
                presenter.shownFps, static_cast<unsigned long long>(presenter.coalesced),
                ours.decodedUnshown, percentile(ours.latencyMs, 0.5),
                percentile(ours.latencyMs, 0.99), mean(ours.decodeMs), mean(ours.paintMs),
                presenter.cpuMs, presenter.guiCpuMs, presenter.rssBefore, presenter.rssAfter);
    if (!streamPath.isEmpty())
        std::printf("|%.1f (%.1f)|%s|%.1f (%.1f)|%.1f", stills.plainMs, stills.plainCpuMs,
                    stills.cameraBytes ? "yes" : "NO", stills.turnedMs, stills.turnedCpuMs,
                    stills.bareEncodeMs);
    std::printf("\n");
    std::fflush(stdout);
    delete view;
    return 0;
}

struct Case
{
    int width, height, fps;
};

// A recorded stream of the case's size in the working directory, made once.
QString cameraStream(const Case &c)
{
    const QString path = QStringLiteral("camera-stream-%1x%2.mjpeg").arg(c.width).arg(c.height);
    if (QFileInfo(path).size() > 0)
        return QFileInfo(path).absoluteFilePath();
    const int frames = 30; // replayed in a loop; enough for a moving picture
    const int made = QProcess::execute(QStringLiteral(KELVORA_MAKECAMERASTREAM),
                                       {path + QStringLiteral(".part"), QString::number(c.width),
                                        QString::number(c.height), QString::number(frames)});
    if (made != 0 || !QFile::rename(path + QStringLiteral(".part"), path))
        return {};
    return QFileInfo(path).absoluteFilePath();
}

// Frames a second one thread decodes from the stream with bare libturbojpeg, to the
// bottom-up BGR the library delivers, over about two seconds.
double decodeLimitFps(const QString &path)
{
    const QByteArray stream = readFile(path);
    std::vector<QByteArrayView> frames = streamFrames(stream);
    tjhandle decoder = tjInitDecompress();
    std::vector<unsigned char> pixels;
    int decoded = 0;
    const qint64 start = nowNs(CLOCK_THREAD_CPUTIME_ID);
    qint64 spent = 0;
    while (!frames.empty() && spent < 2'000'000'000) {
        const QByteArrayView jpeg = frames[size_t(decoded) % frames.size()];
        const auto *bytes = reinterpret_cast<const unsigned char *>(jpeg.data());
        int width = 0, height = 0, subsampling = 0, colours = 0;
        if (tjDecompressHeader3(decoder, bytes, jpeg.size(), &width, &height, &subsampling,
                                &colours) != 0)
            break;
        pixels.resize(size_t(width) * height * 3);
        if (tjDecompress2(decoder, bytes, jpeg.size(), pixels.data(), width, 0, height, TJPF_BGR,
                          TJFLAG_BOTTOMUP) != 0)
            break;
        ++decoded;
        spent = nowNs(CLOCK_THREAD_CPUTIME_ID) - start;
    }
    tjDestroy(decoder);
    return spent > 0 ? decoded / (double(spent) / 1e9) : 0;
}

int runAll(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int frames = 20; // the short run, for ctest
    const bool streams = args.contains(QStringLiteral("--streams"));
    if (args.contains(QStringLiteral("--full")))
        frames = 5000;
    const qsizetype framesAt = args.indexOf(QStringLiteral("--frames"));
    if (framesAt > 0 && framesAt + 1 < args.size())
        frames = std::max(1, args.at(framesAt + 1).toInt());
    const std::vector<Case> cases =
        streams ? std::vector<Case>{{1920, 1080, 30}, {4000, 3000, 30}}
                : std::vector<Case>{{1280, 720, 30},   {1280, 720, 240}, {1920, 1080, 30},
                                    {1920, 1080, 240}, {3840, 2160, 30}, {3840, 2160, 240},
                                    {4000, 3000, 30},  {4000, 3000, 240}};

    double load[3] = {};
    if (getloadavg(load, 3) < 0)
        load[0] = load[1] = load[2] = 0;
    std::printf("frame path%s, window 1920x1040, platform %s, %d frames a case, "
                "load average %.2f %.2f %.2f\n\n",
                streams ? " (recorded MJPEG streams)" : "",
                qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                    ? qgetenv("QT_QPA_PLATFORM").constData()
                    : "offscreen",
                frames, load[0], load[1], load[2]);
    std::printf("| frame | asked fps | frames | delivered fps | shown fps | coalesced | decoded "
                "unshown | latency p50 ms | latency p99 ms | decode ms | paint ms | CPU ms/shown | "
                "GUI CPU ms/shown | RSS before MiB | RSS after MiB |%s\n",
                streams ? " still ms (CPU) | still = camera JPEG | turned still ms (CPU) | bare "
                          "encode ms | "
                          "decode limit fps | load after |"
                        : "");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|%s\n",
                streams ? "---:|---|---:|---:|---:|---|" : "");
    std::fflush(stdout);
    int failures = 0;
    for (const Case &c : cases) {
        QString camera = QStringLiteral("15aa:1555@%1x%2/%3").arg(c.width).arg(c.height).arg(c.fps);
        QString decodeLimit;
        QStringList caseArgs = {QStringLiteral("--case"), QString::number(c.width),
                                QString::number(c.height), QString::number(c.fps),
                                QString::number(frames)};
        if (streams) {
            const QString stream = cameraStream(c);
            if (stream.isEmpty()) {
                ++failures;
                std::fprintf(stderr, "no stream %dx%d\n", c.width, c.height);
                continue;
            }
            camera = QStringLiteral("15aa:1555=%1/%2").arg(stream).arg(c.fps);
            decodeLimit = QStringLiteral(" %1 |").arg(decodeLimitFps(stream), 0, 'f', 1);
            caseArgs << stream;
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("OPTRELLE_BACKEND"), QStringLiteral("sim"));
        env.insert(QStringLiteral("OPTRELLE_CAMERAS"), camera);
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), caseArgs);
        // A stalled camera must not hang the run: a frame a second is the floor.
        const int limitMs = 30'000 + frames * 1000;
        if (!child.waitForFinished(limitMs))
            child.kill(), child.waitForFinished();
        const QByteArray out = child.readAllStandardOutput();
        const qsizetype at = out.indexOf("ROW|");
        if (child.exitCode() != 0 || at < 0) {
            ++failures;
            std::fprintf(stderr, "case %dx%d/%d failed:\n%s\n", c.width, c.height, c.fps,
                         child.readAllStandardError().constData());
            continue;
        }
        QByteArray row = out.mid(at + 3);
        row.truncate(row.indexOf('\n'));
        if (streams && getloadavg(load, 3) > 0)
            decodeLimit += QStringLiteral(" %1 %2 %3 |")
                               .arg(load[0], 0, 'f', 2)
                               .arg(load[1], 0, 'f', 2)
                               .arg(load[2], 0, 'f', 2);
        std::printf("%s |%s\n", row.constData(), qPrintable(decodeLimit));
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--case") == 0)
        return runCase(argc, argv);
    return runAll(argc, argv);
}
