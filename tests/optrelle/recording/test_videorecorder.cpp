// The video recorder: what it writes, read back with libavformat; what it
// refuses; frames dropped rather than waited for; writes that fail.
#include "frameimage.h"
#include "recording/videorecorder.h"

#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

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

struct Recording
{
    QByteArray format;
    unsigned streams = 0;
    AVCodecID codec = AV_CODEC_ID_NONE;
    QSize size;
    double seconds = 0;
    QList<QImage> pictures;
};

QImage toImage(const AVFrame &decoded)
{
    QImage image(decoded.width, decoded.height, QImage::Format_RGB32);
    SwsContext *converter =
        sws_getContext(decoded.width, decoded.height, AVPixelFormat(decoded.format), decoded.width,
                       decoded.height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    std::uint8_t *const planes[] = {image.bits()};
    const int strides[] = {int(image.bytesPerLine())};
    sws_scale(converter, decoded.data, decoded.linesize, 0, decoded.height, planes, strides);
    sws_freeContext(converter);
    return image;
}

// The file as a player sees it, every picture decoded.
Recording readBack(const QString &path)
{
    Recording recording;
    AVFormatContext *format = nullptr;
    if (avformat_open_input(&format, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return recording;
    avformat_find_stream_info(format, nullptr);
    recording.format = format->iformat->name;
    recording.streams = format->nb_streams;
    recording.seconds = double(format->duration) / AV_TIME_BASE;
    const AVCodecParameters *parameters = format->streams[0]->codecpar;
    recording.codec = parameters->codec_id;
    recording.size = QSize(parameters->width, parameters->height);
    AVCodecContext *decoder = avcodec_alloc_context3(avcodec_find_decoder(parameters->codec_id));
    avcodec_parameters_to_context(decoder, parameters);
    avcodec_open2(decoder, nullptr, nullptr);
    AVPacket *packet = av_packet_alloc();
    AVFrame *decoded = av_frame_alloc();
    auto receivePictures = [&] {
        while (avcodec_receive_frame(decoder, decoded) >= 0)
            recording.pictures << toImage(*decoded);
    };
    while (av_read_frame(format, packet) >= 0) {
        avcodec_send_packet(decoder, packet);
        av_packet_unref(packet);
        receivePictures();
    }
    avcodec_send_packet(decoder, nullptr);
    receivePictures();
    av_frame_free(&decoded);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return recording;
}

QImage upright(const Frame &frame)
{
    return optrelle::frameToImage(frame);
}

FramePtr frameOf(const QImage &image)
{
    auto frame = std::make_shared<Frame>();
    optrelle::imageToFrame(image, *frame);
    return frame;
}

QImage twoColours(QSize size, QColor top, QColor bottom)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(top);
    QPainter(&image).fillRect(0, size.height() / 2, size.width(), size.height(), bottom);
    return image;
}

bool looksLike(QRgb pixel, QColor colour)
{
    constexpr int tolerance = 40;
    return std::abs(qRed(pixel) - colour.red()) < tolerance &&
           std::abs(qGreen(pixel) - colour.green()) < tolerance &&
           std::abs(qBlue(pixel) - colour.blue()) < tolerance;
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
    void recordsFramesAtTheirTimesOnce()
    {
        const QString path = m_folder.filePath("three-seconds.wmv");
        const QString otherPath = m_folder.filePath("other.wmv");
        const FramePtr frame = frameOf(twoColours({640, 480}, Qt::red, Qt::blue));
        PacedFeed feed;
        VideoRecorder recorder;
        recorder.stop();
        QVERIFY(!recorder.failed());
        QVERIFY(recorder.start(path, {640, 480}, feed.renderer()));
        QVERIFY(recorder.isRecording());
        QVERIFY(!recorder.start(otherPath, {640, 480}, upright));
        QVERIFY(!QFileInfo::exists(otherPath));
        const std::int64_t startUs = 5'000'000;
        for (int i = 0; i < 90; ++i)
            feed.push(recorder, frame, startUs + i * frameIntervalUs);
        feed.push(recorder, frame, startUs + 89 * frameIntervalUs); // no later than the last
        recorder.stop();
        recorder.stop();
        QVERIFY(!recorder.isRecording());
        QVERIFY2(!recorder.failed(), qPrintable(recorder.errorString()));
        QCOMPARE(recorder.encodedFrames(), 90);
        QCOMPARE(recorder.droppedFrames(), 1);

        const Recording recording = readBack(path);
        QCOMPARE(recording.format, "asf");
        QCOMPARE(recording.streams, 1u);
        QCOMPARE(recording.codec, AV_CODEC_ID_WMV2);
        QCOMPARE(recording.size, QSize(640, 480));
        QCOMPARE(recording.pictures.size(), 90);
        QVERIFY2(std::abs(recording.seconds - 3.0) < 0.5,
                 qPrintable(QString::number(recording.seconds)));
        // Upright, colours not swapped.
        QVERIFY(looksLike(recording.pictures[45].pixel(320, 120), Qt::red));
        QVERIFY(looksLike(recording.pictures[45].pixel(320, 360), Qt::blue));
    }

    void aKilledRecordingKeepsItsDurationAndSeeks()
    {
        const QString path = m_folder.filePath("killed.wmv");
        const QString left = m_folder.filePath("left-by-kill.wmv");
        const FramePtr frame = frameOf(twoColours({640, 480}, Qt::red, Qt::blue));
        constexpr int frames = 4 * 30;
        PacedFeed feed;
        VideoRecorder recorder;
        QVERIFY(recorder.start(path, {640, 480}, feed.renderer()));
        for (int i = 0; i < frames; ++i)
            feed.push(recorder, frame, i * frameIntervalUs);
        QTRY_COMPARE(recorder.encodedFrames(), frames);
        // What a kill leaves is what the writer has handed to the system so far.
        QVERIFY(QFile::copy(path, left));
        recorder.stop();

        const Recording killed = readBack(left);
        QVERIFY2(killed.seconds >= 3 && killed.seconds <= 5,
                 qPrintable(QString::number(killed.seconds)));
        QVERIFY(killed.pictures.size() >= 3 * 30);
        AVFormatContext *format = nullptr;
        QCOMPARE(
            avformat_open_input(&format, QFile::encodeName(left).constData(), nullptr, nullptr), 0);
        const auto closeFormat = qScopeGuard([&format] { avformat_close_input(&format); });
        QVERIFY(avformat_find_stream_info(format, nullptr) >= 0);
        QVERIFY(av_seek_frame(format, 0, 2500, AVSEEK_FLAG_BACKWARD) >= 0);
        AVPacket *packet = av_packet_alloc();
        QCOMPARE(av_read_frame(format, packet), 0);
        const std::int64_t landedMs = packet->pts;
        av_packet_free(&packet);
        QVERIFY2(landedMs >= 1000 && landedMs <= 2500, qPrintable(QString::number(landedMs)));
        // The finished file has its full length.
        QVERIFY(std::abs(readBack(path).seconds - 4.0) < 0.5);
    }

    void recordingSizes_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("recorded");
        QTest::newRow("odd sides") << QSize(641, 479) << QSize(640, 478);
        QTest::newRow("1080p") << QSize(1920, 1080) << QSize(1920, 1080);
        QTest::newRow("5 MP, 4:3") << QSize(2592, 1944) << QSize(1920, 1440);
        QTest::newRow("4K") << QSize(3840, 2160) << QSize(1920, 1080);
        QTest::newRow("turned 5 MP") << QSize(1944, 2592) << QSize(1920, 2560);
        QTest::newRow("too small") << QSize(1, 480) << QSize();
    }

    void recordingSizes()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, recorded);
        QCOMPARE(VideoRecorder::recordingSize(picture), recorded);
    }

    void fitsPicturesOfAnotherSize()
    {
        const QString path = m_folder.filePath("fitted.wmv");
        PacedFeed feed;
        VideoRecorder recorder;
        QVERIFY(recorder.start(path, {320, 240}, feed.renderer()));
        feed.push(recorder, frameOf(twoColours({640, 160}, Qt::green, Qt::green)), 0);
        feed.push(recorder, frameOf(twoColours({100, 300}, Qt::green, Qt::green)), frameIntervalUs);
        recorder.stop();

        const Recording recording = readBack(path);
        QCOMPARE(recording.pictures.size(), 2);
        const QImage &wide = recording.pictures[0];
        QVERIFY(looksLike(wide.pixel(160, 120), Qt::green));
        QVERIFY(looksLike(wide.pixel(160, 10), Qt::black));
        QVERIFY(looksLike(wide.pixel(160, 230), Qt::black));
        const QImage &tall = recording.pictures[1];
        QVERIFY(looksLike(tall.pixel(160, 120), Qt::green));
        QVERIFY(looksLike(tall.pixel(10, 120), Qt::black));
        QVERIFY(looksLike(tall.pixel(310, 120), Qt::black));
    }

    void refusesPathsItCannotWrite_data()
    {
        QTest::addColumn<QString>("path");
        QFile regular(m_folder.filePath("regular"));
        QVERIFY(regular.open(QIODevice::WriteOnly));
        QTest::newRow("missing folder") << m_folder.filePath("missing/video.wmv");
        QTest::newRow("folder is a file") << m_folder.filePath("regular/video.wmv");
        QTest::newRow("existing folder") << m_folder.path();
        QTest::newRow("full device") << "/dev/full";
    }

    void refusesPathsItCannotWrite()
    {
        QFETCH(QString, path);
        const bool existed = QFileInfo::exists(path);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^recording not started: "));
        VideoRecorder recorder;
        QVERIFY(!recorder.start(path, {320, 240}, upright));
        QVERIFY(!recorder.isRecording());
        QVERIFY(recorder.failed());
        QVERIFY2(recorder.errorString().contains(path), qPrintable(recorder.errorString()));
        QCOMPARE(QFileInfo::exists(path), existed);
    }

    void dropsFramesWhileTheEncoderIsBusy()
    {
        std::latch encoderFree(1);
        VideoRecorder recorder;
        QVERIFY(recorder.start(m_folder.filePath("busy.wmv"), {320, 240}, heldUntil(encoderFree)));
        const FramePtr frame = frameOf(twoColours({320, 240}, Qt::red, Qt::blue));
        constexpr int pushed = 50;
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
                             noise->pixels.size() / sizeof(quint32));
            recorder.push(noise, i * frameIntervalUs);
        }
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("^recording ended: .*: File too large$"));
        allPushed.count_down();
        QTRY_VERIFY(!recorder.isRecording());
        recorder.stop();
        QVERIFY(recorder.failed());
        QVERIFY2(recorder.errorString().contains(std::strerror(EFBIG)),
                 qPrintable(recorder.errorString()));
        QVERIFY(recorder.droppedFrames() > 0);
        QCOMPARE(recorder.encodedFrames() + recorder.droppedFrames(), pushed);
    }
};

QTEST_GUILESS_MAIN(VideoRecorderTest)
#include "test_videorecorder.moc"
