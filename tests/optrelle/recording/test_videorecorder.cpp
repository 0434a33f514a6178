// The video recorder: what it writes, read back as a player reads it, also when
// the process is killed mid-way; what it refuses; writes that fail.
#include "../recordingreadback.h"
#include "frameimage.h"
#include "recording/videorecorder.h"

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

QImage upright(const Frame &frame)
{
    return optrelle::frameToImage(frame);
}

// A frame red at the top, blue at the bottom.
FramePtr redOverBlue(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = size.height() / 2; y < size.height(); ++y)
        std::fill_n(reinterpret_cast<QRgb *>(image.scanLine(y)), size.width(), qRgb(0, 0, 255));
    auto frame = std::make_shared<Frame>();
    optrelle::imageToFrame(image, *frame);
    return frame;
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
        const FramePtr frame = redOverBlue({320, 240});
        // Fed no faster than the worker takes them, so none is dropped: a token per
        // queued frame, given back when the worker renders it.
        std::counting_semaphore<> room{VideoRecorder::queueDepth};
        VideoRecorder recorder;
        QVERIFY(recorder.start(path, {320, 240}, [&room](const Frame &rendered) {
            room.release();
            return upright(rendered);
        }));
        QVERIFY(!recorder.start(killed, {320, 240}, upright)); // already recording
        constexpr int frames = 60;
        for (int i = 0; i <= frames; ++i) { // the last no later than the one before: dropped
            room.acquire();
            recorder.push(frame, 5'000'000 + (i % frames) * frameIntervalUs);
        }
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
        // Upright, colours not swapped: red is brighter than blue (luma 81, 41).
        QVERIFY(std::abs(qGray(recording.lumas[30].pixel(160, 60)) - 81) < 15);
        QVERIFY(std::abs(qGray(recording.lumas[30].pixel(160, 180)) - 41) < 15);

        // Killed, it still has a duration, and a seek lands on the key frame before.
        const RecordingReadBack left = readRecording(killed, 1500);
        QVERIFY2(left.seconds >= 1.4 && left.seconds <= 2.5,
                 qPrintable(QString::number(left.seconds)));
        QVERIFY(left.lumas.size() >= 30);
        QVERIFY2(left.seekLandsAtMs >= 900 && left.seekLandsAtMs <= 1500,
                 qPrintable(QString::number(left.seekLandsAtMs)));
    }

    // Sides even, at most 1920 wide, for the encoder.
    void fitsPicturesIntoTheRecordingSize()
    {
        QCOMPARE(VideoRecorder::recordingSize({641, 479}), QSize(640, 478));
        QCOMPARE(VideoRecorder::recordingSize({1944, 2592}), QSize(1920, 2560));
        QCOMPARE(VideoRecorder::recordingSize({1, 480}), QSize());
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

        // Frames pushed after the failure would not count: hold the worker until all
        // are in. The queue fills, the rest is dropped rather than waited for.
        std::latch allPushed(1);
        VideoRecorder recorder;
        QVERIFY(recorder.start(m_folder.filePath("limited.wmv"), {640, 480},
                               [&allPushed](const Frame &frame) {
                                   allPushed.wait();
                                   return upright(frame);
                               }));
        // Pictures of noise, each new: far more than the output buffer holds.
        QRandomGenerator random(7);
        constexpr int pushed = int(VideoRecorder::queueDepth) + 8;
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
