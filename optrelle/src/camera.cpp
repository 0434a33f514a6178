#include "camera.h"

#include "barcodereader.h"
#include "cameramessage.h"
#include "camerapropertiesdialog.h"
#include "devicereconnector.h"
#include "documentcrop/pagestraightener.h"
#include "frameimage.h"
#include "imagefiles.h"
#include "textmode.h"
#include "videolayout.h"
#include "videorenderer.h"

#include <algorithm>
#include <chrono>

namespace optrelle {

namespace {

// A still asked for right after opening or a resolution switch waits this long
// for the first frame of the new stream.
constexpr auto firstFrameWait = std::chrono::seconds(3);

// The camera whose frame is being delivered on this thread, if any. A capture
// thread cannot stop itself, so calls that would join it are refused there.
thread_local const Camera *t_deliveringCamera = nullptr;

} // namespace

Camera::Camera(std::unique_ptr<CameraDevice> device, std::function<void()> firstFrameDelivered)
    : m_device(std::move(device)), m_firstId(m_device->firstId()), m_secondId(m_device->secondId()),
      m_resolutions(m_device->resolutions()), m_firstFrameDelivered(std::move(firstFrameDelivered)),
      m_renderer(std::make_unique<VideoRenderer>([this] { return videoPicture(); })),
      m_reconnector(std::make_unique<DeviceReconnector>([this] { return reopenDevice(); }))
{
}

Camera::~Camera()
{
    shutDown();
}

void Camera::shutDown()
{
    stopStreaming();
    m_recorder.stop();
}

void Camera::setDefaultResolution(int res)
{
    if (isResolution(res) && !m_streaming)
        m_resolution = res;
}

bool Camera::open(QWidget *window)
{
    if (!m_streaming) {
        m_streaming = startDevice();
        if (!m_streaming) {
            showCameraMessage(cameraStartFailureText(m_device->startError()));
            return false;
        }
    }
    setWindow(window);
    return true;
}

void Camera::setWindow(QWidget *window)
{
    m_renderer->setTarget(window);
}

bool Camera::rendersInto(const QWidget *window) const
{
    return window && m_renderer->target() == window;
}

void Camera::setCallback(FrameCallback callback)
{
    std::lock_guard lock(m_callbackMutex);
    m_callback = callback;
}

void Camera::close()
{
    setCallback(nullptr);
    if (t_deliveringCamera == this)
        return;
    m_reconnector->cancel();
    shutDown();
    setWindow(nullptr);
    std::lock_guard lock(m_frameMutex);
    m_frame.reset();
    m_shownFrame.reset();
    m_signalLost = false;
}

bool Camera::setResolution(int res)
{
    if (!isResolution(res) || t_deliveringCamera == this)
        return false;
    m_resolution = res;
    if (!m_streaming)
        return true;
    m_reconnector->cancel();
    stopStreaming();
    m_streaming = startDevice();
    if (!m_streaming)
        showCameraMessage(cameraStartFailureText(m_device->startError()));
    return m_streaming;
}

void Camera::stopStreaming()
{
    if (!m_streaming || t_deliveringCamera == this)
        return;
    m_device->stop();
    m_straightening.drain();
    m_streaming = false;
    m_frameArrived.notify_all();
}

bool Camera::startDevice()
{
    bool wasLost = false;
    {
        std::lock_guard lock(m_frameMutex);
        ++m_streamRun;
        wasLost = std::exchange(m_signalLost, false);
    }
    m_pageTracker.reset(); // the page of another stream is no guide
    if (m_device->start(m_resolution, this))
        return true;
    std::lock_guard lock(m_frameMutex);
    m_signalLost = wasLost; // a camera still gone keeps its mark
    return false;
}

void Camera::deviceLost(unsigned run)
{
    {
        std::lock_guard lock(m_frameMutex);
        if (!m_streaming || run != m_streamRun)
            return; // closed or restarted meanwhile
    }
    // Releasing the old node at once lets the kernel give the camera its number
    // again when it comes back.
    m_device->stop();
    m_recorder.stop();
    const std::string folder = m_device->presenceFolder();
    if (!folder.empty())
        m_reconnector->watch(QString::fromStdString(folder));
}

bool Camera::reopenDevice()
{
    if (!m_streaming)
        return true;
    return m_device->reattach() && startDevice();
}

bool Camera::captureStill(const QString &path)
{
    const QByteArray format = stillFormatForPath(path);
    if (format.isEmpty() || !m_streaming)
        return false;
    FramePtr frame;
    bool whole = false; // the shown frame is the camera's frame, not a page of it
    {
        std::unique_lock lock(m_frameMutex);
        m_frameArrived.wait_for(lock, firstFrameWait, [this] {
            return m_signalLost || (m_shownFrame && m_frameRun == m_streamRun);
        });
        // The last picture of a camera that is gone is not a new photo.
        if (m_signalLost || !m_shownFrame || m_frameRun != m_streamRun)
            return false;
        frame = m_shownFrame;
        whole = m_shownFrame == m_frame;
    }
    // Nothing changed the picture: the camera's JPEG is the best still there is,
    // without a second loss of quality or the time to encode again.
    if (format == "jpeg" && whole && !frame->cameraJpeg.empty() && m_quarterTurns == 0 &&
        m_manualCrop.settledRegion().isEmpty())
        return writeFileAtomically(frame->cameraJpeg, path);
    return writeImageAtomically(frameToImage(*frame, m_quarterTurns, m_manualCrop.settledRegion()),
                                path, format);
}

void Camera::turn(int quarterTurns)
{
    m_quarterTurns = (((m_quarterTurns + quarterTurns) % 4) + 4) % 4;
    m_renderer->frameArrived();
}

void Camera::zoomBy(int steps)
{
    m_zoomStep = std::clamp(m_zoomStep + steps, 0, VideoLayout::maximumZoomStep);
    m_renderer->frameArrived();
}

VideoPicture Camera::videoPicture() const
{
    std::lock_guard lock(m_frameMutex);
    return {m_shownFrame, m_quarterTurns, m_zoomStep, m_signalLost, m_manualCrop.region()};
}

void Camera::showProperties()
{
    if (!m_propertiesDialog) {
        m_propertiesDialog = new CameraPropertiesDialog(*this);
        m_propertiesDialog->show();
    }
    m_propertiesDialog->raise();
    m_propertiesDialog->activateWindow();
}

const std::string &Camera::readBarcode()
{
    FramePtr frame;
    {
        std::lock_guard lock(m_frameMutex);
        frame = m_frame;
    }
    m_barcodeText = frame ? readLargestBarcode(*frame) : std::string();
    return m_barcodeText;
}

bool Camera::startRecording(const QString &path)
{
    if (!m_streaming || m_recorder.isRecording() || videoPicture().signalLost)
        return false;
    // The recording takes the size of the picture as it is painted now.
    const Resolution streamed = m_resolutions[std::size_t(m_resolution)];
    const FramePtr shown = videoPicture().frame;
    const QSize frame =
        shown ? QSize(shown->width, shown->height) : QSize(streamed.width, streamed.height);
    const QSize picture = imageSize(frame, m_quarterTurns, m_manualCrop.settledRegion());
    return m_recorder.start(path, picture, [this](const Frame &frame) {
        return frameToImage(frame, m_quarterTurns, m_manualCrop.settledRegion());
    });
}

const std::string &Camera::recordingError()
{
    m_recordingError = m_recorder.errorString().toStdString();
    return m_recordingError;
}

void Camera::setAutoCrop(bool on)
{
    if (on && !m_autoCrop)
        m_pageTracker.reset();
    m_autoCrop = on;
}

void Camera::setManualCrop(bool on)
{
    m_manualCrop.setEnabled(on);
    m_renderer->frameArrived();
}

QPointF Camera::pictureFraction(QPoint position) const
{
    const VideoPicture picture = videoPicture();
    const QWidget *window = m_renderer->target();
    if (!picture.frame || !window)
        return {};
    const QSize frameSize(picture.frame->width, picture.frame->height);
    const QPointF inFrame =
        VideoLayout(frameSize, window->size(), picture.quarterTurns, picture.zoomStep)
            .windowToFrame()
            .map(QPointF(position));
    return {inFrame.x() / frameSize.width(), inFrame.y() / frameSize.height()};
}

void Camera::mousePressed(QPoint position)
{
    dragCrop(&ManualCrop::press, position);
}

void Camera::mouseMoved(QPoint position)
{
    dragCrop(&ManualCrop::move, position);
}

void Camera::mouseReleased(QPoint position)
{
    dragCrop(&ManualCrop::release, position);
}

void Camera::dragCrop(void (ManualCrop::*step)(QPointF), QPoint position)
{
    if (!m_manualCrop.isEnabled())
        return;
    (m_manualCrop.*step)(pictureFraction(position));
    m_renderer->frameArrived();
}

void Camera::frameCaptured(std::shared_ptr<Frame> frame)
{
    // Capture thread. In text mode the camera's own frame is kept for reading
    // codes, and the grey picture is what is shown, stored and handed on.
    const std::shared_ptr<Frame> cameraFrame = frame;
    if (m_textMode) {
        frame = m_textPool.acquire(cameraFrame->width, cameraFrame->height);
        makeTextPicture(*cameraFrame, *frame);
        frame->cameraJpeg.clear(); // the grey picture is not the camera's JPEG
    }
    const std::optional<PageOutline> outline =
        m_autoCrop ? m_pageTracker.outlineFor(frame) : std::nullopt;
    unsigned run = 0;
    {
        std::lock_guard lock(m_frameMutex);
        m_frame = cameraFrame;
        run = m_streamRun;
    }
    const std::uint64_t number = ++m_frameNumber;
    if (outline) {
        // The warp at full resolution takes about a frame's time; done beside the
        // capture thread, the camera keeps its rate.
        m_straightening.post([this, frame, outline = *outline, number, run] {
            const QSize size = straightenedSize(outline);
            std::shared_ptr<Frame> page = m_pagePool.acquire(size.width(), size.height());
            straightenPage(*frame, outline, *page);
            show(page, number, run);
        });
    } else {
        show(frame, number, run);
    }
    {
        std::lock_guard lock(m_callbackMutex);
        if (m_callback) {
            t_deliveringCamera = this;
            m_callback(frame->pixels.data(), frame->width, frame->height, 0);
            t_deliveringCamera = nullptr;
        }
    }
    if (m_firstFrameDelivered)
        std::call_once(m_firstFrame, m_firstFrameDelivered);
}

void Camera::show(FramePtr picture, std::uint64_t number, unsigned run)
{
    {
        std::lock_guard lock(m_frameMutex);
        if (run != m_streamRun || number <= m_shownNumber)
            return; // a newer picture is shown, or the stream has ended
        m_shownFrame = picture;
        m_shownNumber = number;
        m_frameRun = run;
    }
    m_frameArrived.notify_all();
    m_recorder.push(std::move(picture), std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now().time_since_epoch())
                                            .count());
    m_renderer->frameArrived();
}

void Camera::signalLost()
{
    // Capture thread.
    unsigned run = 0;
    {
        std::lock_guard lock(m_frameMutex);
        m_signalLost = true;
        run = m_streamRun;
    }
    m_frameArrived.notify_all();
    m_renderer->frameArrived();
    QMetaObject::invokeMethod(
        m_reconnector.get(), [this, run] { deviceLost(run); }, Qt::QueuedConnection);
}

} // namespace optrelle
