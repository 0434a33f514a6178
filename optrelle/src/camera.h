#pragma once

#include "cameradevice.h"
#include "documentcrop/newestonlythread.h"
#include "documentcrop/pagetracker.h"
#include "frame.h"
#include "framepool.h"
#include "manualcrop.h"
#include "recording/videorecorder.h"
#include "videopicture.h"

#include <QPoint>
#include <QPointer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QDialog;
class QWidget;

namespace optrelle {

class DeviceReconnector;
class VideoRenderer;

using FrameCallback = void (*)(const void *data, int width, int height, int ignored);

// One camera as the library's callers see it: streaming state, the frame
// callback, the newest frame, and how its video is painted and its stills turned.
// Every member function but the FrameSink ones runs on the GUI thread.
class Camera : public FrameSink
{
public:
    // firstFrameDelivered runs once, on the capture thread, after the camera's
    // first frame has passed through the callback and the renderer.
    explicit Camera(std::unique_ptr<CameraDevice> device,
                    std::function<void()> firstFrameDelivered = {});
    ~Camera() override;

    const std::string &firstId() const { return m_firstId; }
    const std::string &secondId() const { return m_secondId; }
    const std::vector<Resolution> &resolutions() const { return m_resolutions; }
    bool isResolution(int res) const { return res >= 0 && res < int(m_resolutions.size()); }

    void setDefaultResolution(int res);
    // Starts streaming at the chosen resolution and paints into window (may be
    // null). A camera that will not start says why in a message box.
    bool open(QWidget *window);
    void setWindow(QWidget *window);
    bool rendersInto(const QWidget *window) const;
    void setCallback(FrameCallback callback);
    void close();
    // Restarts streaming at res; false when res is bad, when called on the
    // capture thread, or when the device cannot stream at res.
    bool setResolution(int res);
    // Finishes a recording and stops the device, touching no Qt object; for
    // process exit, when Qt may be gone.
    void shutDown();

    // Waits briefly for the first frame of the current stream. A JPEG still of a
    // picture nothing changed is the camera's own JPEG, byte for byte.
    bool captureStill(const QString &path);
    void setTextMode(bool on) { m_textMode = on; }
    void turn(int quarterTurns);
    void zoomBy(int steps);
    VideoPicture videoPicture() const;

    std::optional<ZoomRange> zoomRange() { return m_device->zoomRange(); }
    bool setZoom(int value) { return m_device->setZoom(value); }
    std::vector<CameraControl> controls() { return m_device->controls(); }
    bool setControl(std::uint32_t id, int value) { return m_device->setControl(id, value); }
    // Opens the camera's property dialog, or raises the one already open.
    void showProperties();

    // The largest code in the current frame; valid until the next call.
    const std::string &readBarcode();

    // Records what is painted (turned and cropped) into an ASF/WMV2 file; false
    // when already recording or the file cannot be made.
    bool startRecording(const QString &path);
    void stopRecording() { m_recorder.stop(); }
    bool isRecording() const { return m_recorder.isRecording(); }
    // Why the last recording ended by itself or failed; valid until the next call.
    const std::string &recordingError();

    // Paints and captures the straightened document page instead of the whole
    // frame; frames to the callback stay whole.
    void setAutoCrop(bool on);

    // Manual crop: mouse positions in the rendering window's coordinates.
    void setManualCrop(bool on);
    void mousePressed(QPoint position);
    void mouseMoved(QPoint position);
    void mouseReleased(QPoint position);

private:
    void frameCaptured(std::shared_ptr<Frame> frame) override;
    // Makes picture, the camera's frame `number` of stream run `run`, the one
    // painted and captured, unless a newer one is shown already.
    void show(FramePtr picture, std::uint64_t number, unsigned run);
    void signalLost() override;
    // GUI thread, after the signal of stream run `run` was lost: releases the
    // device, ends a recording, and waits for the camera to come back.
    void deviceLost(unsigned run);
    // Opens the same camera again at the same resolution, for the same callback
    // and window; true also when the camera was closed meanwhile.
    bool reopenDevice();
    // Starts a new stream run; the streaming flag is the caller's.
    bool startDevice();
    void stopStreaming();
    // The window position as a fraction of the upright frame on screen.
    QPointF pictureFraction(QPoint position) const;
    // One step of the manual crop's drag, at a window position.
    void dragCrop(void (ManualCrop::*step)(QPointF), QPoint position);

    std::unique_ptr<CameraDevice> m_device;
    const std::string m_firstId;
    const std::string m_secondId;
    const std::vector<Resolution> m_resolutions;
    int m_resolution = 0;
    bool m_streaming = false;

    // Held while the callback runs, so replacing it waits for a call in flight.
    // Recursive: the callback may itself remove the callback.
    std::recursive_mutex m_callbackMutex;
    FrameCallback m_callback = nullptr;

    mutable std::mutex m_frameMutex;
    std::condition_variable m_frameArrived;
    FramePtr m_frame;         // as the camera delivered it, before text mode
    FramePtr m_shownFrame;    // what is painted and captured: m_frame or its straightened page
    unsigned m_streamRun = 0; // counts starts; a frame of an older run is stale
    unsigned m_frameRun = 0;
    std::uint64_t m_shownNumber = 0; // of m_shownFrame, counted by m_frameNumber
    std::uint64_t m_frameNumber = 0; // capture thread: counts frames
    bool m_signalLost = false;

    std::atomic<bool> m_textMode = false;
    std::atomic<int> m_quarterTurns = 0;
    std::atomic<int> m_zoomStep = 0;

    std::atomic<bool> m_autoCrop = false;
    PageTracker m_pageTracker;
    FramePool m_pagePool;
    FramePool m_textPool; // text mode's pictures
    ManualCrop m_manualCrop;
    VideoRecorder m_recorder;
    std::string m_barcodeText;
    std::string m_recordingError;
    QPointer<QDialog> m_propertiesDialog;

    std::function<void()> m_firstFrameDelivered;
    std::once_flag m_firstFrame;

    // Lives on the GUI thread; the capture thread only asks it for a repaint.
    std::unique_ptr<VideoRenderer> m_renderer;
    std::unique_ptr<DeviceReconnector> m_reconnector; // GUI thread
    // Straightens pages beside the capture thread; last, so it stops first.
    NewestOnlyThread m_straightening;
};

} // namespace optrelle
