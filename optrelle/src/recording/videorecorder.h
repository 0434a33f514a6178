#pragma once

#include "frame.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace optrelle {

class AsfWriter;
class YuvPictureFitter;

// Records a camera's video into an ASF file of WMV2 video, off the capture thread.
//
// The capture thread pushes every frame; a worker thread renders it (the camera's
// turn and crop), fits it into the recording size and encodes it. At most
// queueDepth frames wait; more are dropped and counted, so a slow encoder or disk
// never holds up capture. Times in the file are the frames' timestamps relative to
// the first frame, in milliseconds, so the video lasts as long as the capture did.
//
// The recording size is the picture size at the start with even sides, scaled
// down to maximumWidth wide, proportions kept, when it is wider: WMV2 players cope
// well with 1080p, and larger pictures cost more encoding time than 30 fps leaves
// on a modest machine. Pictures of another size later are fitted in with black
// borders.
//
// stop() needs neither Qt's event loop nor Qt objects, so an atexit handler may
// call it. A write failure (disk full) ends the recording; stop() then still
// closes the file so that the part written stays readable.
class VideoRecorder
{
public:
    // Makes the picture recorded from a frame, on the worker thread.
    using Renderer = std::function<QImage(const Frame &)>;

    static constexpr std::size_t queueDepth = 8;
    static constexpr int maximumWidth = 1920;

    VideoRecorder();
    ~VideoRecorder();
    VideoRecorder(const VideoRecorder &) = delete;
    VideoRecorder &operator=(const VideoRecorder &) = delete;

    // The size recorded for pictures of pictureSize; empty when too small.
    static QSize recordingSize(QSize pictureSize);

    // Creates the file at path for pictures of pictureSize. False when already
    // recording, or, with errorString(), when the file cannot be created or the
    // encoder not opened; then no file is left behind.
    bool start(const QString &path, QSize pictureSize, Renderer render);
    // Any thread; never waits for encoding. Timestamps in microseconds on one
    // clock; a frame not later than the last one queued is dropped.
    void push(FramePtr frame, std::int64_t timestampUs);
    // Encodes the frames waiting, then closes the file. Does nothing when no file
    // is open.
    void stop();

    // From a successful start until stop() or a write failure.
    bool isRecording() const;
    // The last start or recording failed; errorString() says why.
    bool failed() const;
    QString errorString() const;
    // Counted from the start: every frame pushed while recording is either
    // encoded or dropped once stop() returns.
    int droppedFrames() const { return m_droppedFrames; }
    int encodedFrames() const { return m_encodedFrames; }

private:
    struct QueuedFrame
    {
        FramePtr frame;
        std::int64_t ptsMs = 0;
    };

    void encodeQueuedFrames();
    bool encode(const QueuedFrame &queued);
    void endWithFailure(const QString &error);
    void closeFile();

    // Serialises start() and stop().
    std::mutex m_controlMutex;

    // Shared by the pushing threads, the worker and start()/stop().
    mutable std::mutex m_mutex;
    std::condition_variable m_queueChanged;
    std::deque<QueuedFrame> m_queue;
    bool m_recording = false;
    bool m_draining = false;
    std::optional<std::int64_t> m_firstTimestampUs;
    std::int64_t m_lastPtsMs = -1;
    QString m_error;

    std::atomic<int> m_droppedFrames = 0;
    std::atomic<int> m_encodedFrames = 0;

    // Used by the worker alone while it runs.
    std::unique_ptr<AsfWriter> m_writer;
    std::unique_ptr<YuvPictureFitter> m_fitter;
    Renderer m_render;
    std::thread m_worker;
};

} // namespace optrelle
