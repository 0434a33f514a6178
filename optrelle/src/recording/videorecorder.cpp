#include "videorecorder.h"

#include "asfwriter.h"
#include "optrellelog.h"
#include "yuvpicturefitter.h"

#include <QFile>

extern "C" {
#include <libavutil/frame.h>
}

#include <cmath>

namespace optrelle {

VideoRecorder::VideoRecorder() = default;

VideoRecorder::~VideoRecorder()
{
    stop();
}

QSize VideoRecorder::recordingSize(QSize pictureSize)
{
    int width = pictureSize.width() / 2 * 2;
    int height = pictureSize.height() / 2 * 2;
    if (width > maximumWidth) {
        height = int(std::lround(double(height) * maximumWidth / width / 2)) * 2;
        width = maximumWidth;
    }
    if (width < 2 || height < 2)
        return {};
    return {width, height};
}

bool VideoRecorder::start(const QString &path, QSize pictureSize, Renderer render)
{
    std::lock_guard control(m_controlMutex);
    if (isRecording())
        return false;
    // A recording a write failure ended is still open.
    closeFile();
    m_droppedFrames = 0;
    m_encodedFrames = 0;

    const QSize size = recordingSize(pictureSize);
    auto writer = std::make_unique<AsfWriter>();
    QString error;
    if (size.isEmpty())
        error = QStringLiteral("%1: no picture to record").arg(path);
    else if (!writer->open(QFile::encodeName(path).toStdString(), size))
        error = writer->errorString();
    std::lock_guard lock(m_mutex);
    m_error = error;
    if (!error.isEmpty()) {
        qCWarning(optrelleLog, "recording not started: %s", qUtf8Printable(error));
        return false;
    }
    m_writer = std::move(writer);
    m_fitter = std::make_unique<YuvPictureFitter>(size);
    m_render = std::move(render);
    m_recording = true;
    m_draining = false;
    m_firstTimestampUs.reset();
    m_lastPtsMs = -1;
    m_worker = std::thread(&VideoRecorder::encodeQueuedFrames, this);
    return true;
}

void VideoRecorder::push(FramePtr frame, std::int64_t timestampUs)
{
    std::lock_guard lock(m_mutex);
    if (!m_recording)
        return;
    if (!m_firstTimestampUs)
        m_firstTimestampUs = timestampUs;
    const std::int64_t ptsMs = (timestampUs - *m_firstTimestampUs + 500) / 1000;
    if (ptsMs <= m_lastPtsMs || m_queue.size() >= queueDepth) {
        ++m_droppedFrames;
        return;
    }
    m_lastPtsMs = ptsMs;
    m_queue.push_back({std::move(frame), ptsMs});
    m_queueChanged.notify_one();
}

void VideoRecorder::stop()
{
    std::lock_guard control(m_controlMutex);
    closeFile();
}

void VideoRecorder::closeFile()
{
    {
        std::lock_guard lock(m_mutex);
        m_recording = false;
        m_draining = true;
    }
    m_queueChanged.notify_one();
    if (m_worker.joinable())
        m_worker.join();
    if (m_writer && !m_writer->finish()) {
        std::lock_guard lock(m_mutex);
        m_error = m_writer->errorString();
    }
    m_writer.reset();
    m_fitter.reset();
    m_render = nullptr;
}

bool VideoRecorder::isRecording() const
{
    std::lock_guard lock(m_mutex);
    return m_recording;
}

bool VideoRecorder::failed() const
{
    std::lock_guard lock(m_mutex);
    return !m_error.isEmpty();
}

QString VideoRecorder::errorString() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void VideoRecorder::encodeQueuedFrames()
{
    for (;;) {
        QueuedFrame next;
        {
            std::unique_lock lock(m_mutex);
            m_queueChanged.wait(lock, [this] { return !m_queue.empty() || m_draining; });
            if (m_queue.empty())
                return;
            next = std::move(m_queue.front());
            m_queue.pop_front();
        }
        if (!encode(next))
            return;
    }
}

bool VideoRecorder::encode(const QueuedFrame &queued)
{
    const QImage picture = m_render(*queued.frame);
    if (picture.isNull()) {
        ++m_droppedFrames;
        return true;
    }
    AVFrame *frame = m_fitter->fit(picture);
    if (!frame) {
        endWithFailure(QStringLiteral("not enough memory for the video"));
        return false;
    }
    frame->pts = queued.ptsMs;
    if (!m_writer->write(*frame)) {
        endWithFailure(m_writer->errorString());
        return false;
    }
    ++m_encodedFrames;
    return true;
}

void VideoRecorder::endWithFailure(const QString &error)
{
    qCWarning(optrelleLog, "recording ended: %s", qUtf8Printable(error));
    std::lock_guard lock(m_mutex);
    m_error = error;
    m_recording = false;
    // The frame that failed and those waiting never reach the file.
    m_droppedFrames += int(m_queue.size()) + 1;
    m_queue.clear();
}

} // namespace optrelle
