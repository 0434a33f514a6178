// The video recorder: what it writes, read back as a player reads it, also when
// the process is killed mid-way; what it refuses; frames dropped rather than
// waited for; writes that fail.
#include "../recordingreadback.h"
#include "frameimage.h"
#include "recording/videorecorder.h"

#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <latch>
#include <semaphore>

namespace {

using optrelle::Frame;
using optrelle::FramePtr;
using optrelle::VideoRecorder;

constexpr std::int64_t frameIntervalUs = 33'333;
// Video brightness (luma) of the colours used.
constexpr int redLuma = 81, blueLuma = 41, greenLuma = 145, blackLuma = 16;

QImage upright(const Frame &frame)
{
    return optrelle::frameToImage(frame);
}

// A frame whose top half is top, the rest bottom.
FramePtr frameOf(QSize size, QColor top, QColor bottom)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(top);
    QPainter(&image).fillRect(0, size.height() / 2, size.width(), size.height(), bottom);
    auto frame = std::make_shared<Frame>();
    optrelle::imageToFrame(image, *frame);
    return frame;
}

bool lumaNear(const QImage &luma, QPoint at, int expected)
{
    return std::abs(qGray(luma.pixel(at)) - expected) < 15;
}

// Feeds frames no faster than the worker takes them, so none is dropped: a
// token per queued frame, given back when the worker renders it.
class PacedFeed
{
public:
    VideoRecorder::Renderer renderer()
    {
        return [this](const Frame &frame) {
            m_room.release();
            return upright(frame);
        };
    }
    void push(VideoRecorder &recorder, const FramePtr &frame, std::int64_t timestampUs)
    {
        m_room.acquire();
        recorder.push(frame, timestampUs);
    }

private:
    std::counting_semaphore<> m_room{VideoRecorder::queueDepth};
};

// A renderer that waits until open counts down, so frames pile up behind it.
VideoRecorder::Renderer heldUntil(std::latch &open)
{
    return [&open](const Frame &frame) {
        open.wait();
        return upright(frame);
    };
}

} // namespace

class VideoRecorderTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    // Two seconds of frames; a copy taken before stop() is what a kill leaves.
    void recordsFramesAtTheirTimesAndSurvivesAKill()
    {
        const QString path = m_folder.filePath("two-seconds.wmv");
        const QString killed = m_folder.filePath("left-by-kill.wmv");
        const FramePtr frame = frameOf({320, 240}, Qt::red, Qt::blue);
        PacedFeed feed;
        VideoRecorder recorder;
        QVERIFY(recorder.start(path, {320, 240}, feed.renderer()));
        QVERIFY(!recorder.start(killed, {320, 240}, upright)); // already recording
        constexpr int frames = 60;
        for (int i = 0; i < frames; ++i)
            feed.push(recorder, frame, 5'000'000 + i * frameIntervalUs);
        feed.push(recorder, frame, 5'000'000); // no later than the last: dropped
        QTRY_COMPARE(recorder.encodedFrames(), frames);
        QVERIFY(QFile::copy(path, killed));
        recorder.stop();
        recorder.stop();
        QVERIFY2(!recorder.isRecording() && !recorder.failed(), qPrintable(recorder.errorString()));
        QCOMPARE(recorder.droppedFrames(), 1);

        const RecordingReadBack recording = readRecording(path);
        QCOMPARE(recording.format, "asf");
        QCOMPARE(recording.codec, AV_CODEC_ID_WMV2);
        QCOMPARE(recording.size, QSize(320, 240));
        QCOMPARE(recording.lumas.size(), frames);
        QVERIFY2(std::abs(recording.seconds - 2.0) < 0.3,
                 qPrintable(QString::number(recording.seconds)));
        // Upright, colours not swapped.
        QVERIFY(lumaNear(recording.lumas[30], {160, 60}, redLuma));
        QVERIFY(lumaNear(recording.lumas[30], {160, 180}, blueLuma));

        // Killed, it still has a duration, and a seek lands on the key frame before.
        const RecordingReadBack left = readRecording(killed, 1500);
        QVERIFY2(left.seconds >= 1.4 && left.seconds <= 2.5,
                 qPrintable(QString::number(left.seconds)));
        QVERIFY(left.lumas.size() >= 30);
        QVERIFY2(left.seekLandsAtMs >= 900 && left.seekLandsAtMs <= 1500,
                 qPrintable(QString::number(left.seekLandsAtMs)));
    }

    // Sides even, at most 1920 wide; pictures of another size get black borders.
    void fitsPicturesIntoTheRecordingSize()
    {
        QCOMPARE(VideoRecorder::recordingSize({641, 479}), QSize(640, 478));
        QCOMPARE(VideoRecorder::recordingSize({1944, 2592}), QSize(1920, 2560));
        QCOMPARE(VideoRecorder::recordingSize({1, 480}), QSize());

        const QString path = m_folder.filePath("fitted.wmv");
        PacedFeed feed;
        VideoRecorder recorder;
        QVERIFY(recorder.start(path, {320, 240}, feed.renderer()));
        feed.push(recorder, frameOf({640, 160}, Qt::green, Qt::green), 0);
        feed.push(recorder, frameOf({100, 300}, Qt::green, Qt::green), frameIntervalUs);
        recorder.stop();
        const QList<QImage> lumas = readRecording(path).lumas;
        QCOMPARE(lumas.size(), 2);
        QVERIFY(lumaNear(lumas[0], {160, 120}, greenLuma) &&
                lumaNear(lumas[1], {160, 120}, greenLuma));
        QVERIFY(lumaNear(lumas[0], {160, 10}, blackLuma) &&
                lumaNear(lumas[0], {160, 230}, blackLuma));
        QVERIFY(lumaNear(lumas[1], {10, 120}, blackLuma) &&
                lumaNear(lumas[1], {310, 120}, blackLuma));
    }

    void refusesPathsItCannotWrite()
    {
        QFile regular(m_folder.filePath("regular"));
        QVERIFY(regular.open(QIODevice::WriteOnly));
        for (const QString &path :
             {m_folder.filePath("missing/video.wmv"), m_folder.filePath("regular/video.wmv"),
              m_folder.path(), QString("/dev/full")}) {
            const bool existed = QFileInfo::exists(path);
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^recording not started: "));
            VideoRecorder recorder;
            QVERIFY(!recorder.start(path, {320, 240}, upright));
            QVERIFY(!recorder.isRecording() && recorder.failed());
            QVERIFY2(recorder.errorString().contains(path), qPrintable(recorder.errorString()));
            QCOMPARE(QFileInfo::exists(path), existed);
        }
    }

    void dropsFramesWhileTheEncoderIsBusy()
    {
        std::latch encoderFree(1);
        VideoRecorder recorder;
        QVERIFY(recorder.start(m_folder.filePath("busy.wmv"), {320, 240}, heldUntil(encoderFree)));
        const FramePtr frame = frameOf({320, 240}, Qt::red, Qt::blue);
        constexpr int pushed = 30;
        for (int i = 0; i < pushed; ++i)
            recorder.push(frame, i * frameIntervalUs);
        // The queue, and perhaps the frame being rendered, hold the rest.
        QVERIFY(recorder.droppedFrames() >= pushed - int(VideoRecorder::queueDepth) - 1);
        encoderFree.count_down();
        recorder.stop();
        QVERIFY(recorder.encodedFrames() >= int(VideoRecorder::queueDepth));
        QCOMPARE(recorder.encodedFrames() + recorder.droppedFrames(), pushed);
    }

    void endsTheRecordingWhenWritesFail()
    {
        // A file size limit makes writes past it fail, as a full disk does.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited = {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &unlimited) == 0);
        rlimit small = unlimited;
        small.rlim_cur = 16 * 1024;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        const auto restoreLimit = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &unlimited); });

        // Frames pushed after the failure would not count: hold the worker until all are in.
        std::latch allPushed(1);
        VideoRecorder recorder;
        QVERIFY(recorder.start(m_folder.filePath("limited.wmv"), {640, 480}, heldUntil(allPushed)));
        // Pictures of noise, each new: far more than the output buffer holds.
        QRandomGenerator random(7);
        constexpr int pushed = int(VideoRecorder::queueDepth);
        for (int i = 0; i < pushed; ++i) {
            auto noise = std::make_shared<Frame>(Frame{640, 480, {}});
            noise->pixels.resize(noise->byteCount());
            random.fillRange(reinterpret_cast<quint32 *>(noise->pixels.data()),
                             noise->pixels.size() / 4);
            recorder.push(noise, i * frameIntervalUs);
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^recording ended: .*: File too large$"));
        allPushed.count_down();
        QTRY_VERIFY(!recorder.isRecording());
        recorder.stop();
        QVERIFY2(recorder.failed() && recorder.errorString().contains(std::strerror(EFBIG)),
                 qPrintable(recorder.errorString()));
        QVERIFY(recorder.droppedFrames() > 0);
        QCOMPARE(recorder.encodedFrames() + recorder.droppedFrames(), pushed);
    }
};

QTEST_GUILESS_MAIN(VideoRecorderTest)
#include "test_videorecorder.moc"
