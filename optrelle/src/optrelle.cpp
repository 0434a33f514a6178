// The C interface: looks the camera up, turns C arguments into C++ ones, and
// keeps every exception inside the library.
#include "optrelle.h"

#include "cameraregistry.h"
#include "imagefiles.h"
#include "optrellelog.h"

#include <QWidget>

#include <exception>

using optrelle::Camera;
using optrelle::CameraRegistry;

namespace {

constexpr int pictureModeProperty = 5;
constexpr int textModeValue = 0;
constexpr int pictureModeValue = 4;
constexpr int zoomProperty = 5;
constexpr int manualCropMouseMode = 1;
enum ZoomQuery
{
    zoomMinimum = 1,
    zoomMaximum = 2,
    zoomStep = 3,
    zoomCurrent = 5
};

// Runs call on the camera at index; failure when there is none or it throws.
template <typename Result, typename Call> Result withCamera(int index, Result failure, Call call)
{
    try {
        if (Camera *camera = CameraRegistry::instance().camera(index))
            return call(*camera);
    } catch (const std::exception &error) {
        qCWarning(optrelleLog, "camera %d: %s", index, error.what());
    } catch (...) {
        qCWarning(optrelleLog, "camera %d: unexpected failure", index);
    }
    return failure;
}

template <typename Call> void onCamera(int index, Call call)
{
    withCamera(index, 0, [&call](Camera &camera) {
        call(camera);
        return 0;
    });
}

// The widget behind a native id; null for 0. found is false for an id that
// belongs to no widget of this process.
QWidget *widgetOf(OptrelleWindowId window, bool *found)
{
    QWidget *widget = window ? QWidget::find(WId(window)) : nullptr;
    *found = !window || widget;
    return widget;
}

// Runs call on the camera whose video is painted into window, if any.
template <typename Call> void onCameraRenderingInto(OptrelleWindowId window, Call call)
{
    bool found = false;
    const QWidget *widget = widgetOf(window, &found);
    if (!widget)
        return;
    CameraRegistry &registry = CameraRegistry::instance();
    for (int index = 0; index < registry.count(); ++index)
        if (registry.camera(index)->rendersInto(widget))
            return onCamera(index, call);
}

QString pathOf(const char *path)
{
    return path ? QString::fromLocal8Bit(path) : QString();
}

} // namespace

extern "C" {

int fnInit(void)
{
    try {
        return CameraRegistry::instance().init() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

int fnGetCameraCount(void)
{
    return CameraRegistry::instance().count();
}

const char *fnGetCameraPID(int index)
{
    return withCamera(index, "", [](Camera &camera) { return camera.firstId().c_str(); });
}

const char *fnGetCameraVID(int index)
{
    return withCamera(index, "", [](Camera &camera) { return camera.secondId().c_str(); });
}

void fnSetDefaultResolution(int index, int res)
{
    onCamera(index, [res](Camera &camera) { camera.setDefaultResolution(res); });
}

int fnOpenCamera(int index, OptrelleWindowId window)
{
    return withCamera(index, 0, [window](Camera &camera) {
        bool found = false;
        QWidget *widget = widgetOf(window, &found);
        return found && camera.open(widget) ? 1 : 0;
    });
}

void fnSetHWND(int index, OptrelleWindowId window)
{
    onCamera(index, [window](Camera &camera) {
        bool found = false;
        camera.setWindow(widgetOf(window, &found));
    });
}

void fnSetVideoCB(int index, void *fn)
{
    onCamera(index, [fn](Camera &camera) {
        camera.setCallback(reinterpret_cast<optrelle::FrameCallback>(fn));
    });
}

void fnCloseCamera(int index)
{
    onCamera(index, [](Camera &camera) { camera.close(); });
}

int fnGetResCount(int index)
{
    return withCamera(index, 0, [](Camera &camera) { return int(camera.resolutions().size()); });
}

int fnGetResWidth(int index, int res)
{
    return withCamera(index, 0, [res](Camera &camera) {
        return camera.isResolution(res) ? camera.resolutions()[std::size_t(res)].width : 0;
    });
}

int fnGetResHeight(int index, int res)
{
    return withCamera(index, 0, [res](Camera &camera) {
        return camera.isResolution(res) ? camera.resolutions()[std::size_t(res)].height : 0;
    });
}

void fnSetResolution(int index, int res)
{
    withCamera(index, false, [res](Camera &camera) { return camera.setResolution(res); });
}

int fnCapture(int index, char *path)
{
    return withCamera(index, 0, [path](Camera &camera) {
        return path && camera.captureStill(pathOf(path)) ? 1 : 0;
    });
}

void fnRotateImage(char *path, int degrees)
{
    try {
        if (path)
            optrelle::rotateImageFile(pathOf(path), degrees);
    } catch (...) {
    }
}

void fnResampleImage(char *path, int w, int h)
{
    try {
        if (path)
            optrelle::resampleImageFile(pathOf(path), w, h);
    } catch (...) {
    }
}

int fnSetVideoProcAmp(int index, int prop, int value, int flags)
{
    return withCamera(index, 0, [=](Camera &camera) {
        if (prop != pictureModeProperty || flags != 0 ||
            (value != textModeValue && value != pictureModeValue))
            return 0;
        camera.setTextMode(value == textModeValue);
        return 1;
    });
}

int fnGetCameraControl(int index, int prop, int which)
{
    return withCamera(index, -1, [=](Camera &camera) {
        if (prop != zoomProperty)
            return -1;
        const std::optional<optrelle::ZoomRange> zoom = camera.zoomRange();
        if (!zoom)
            return -1;
        switch (which) {
        case zoomMinimum:
            return zoom->minimum;
        case zoomMaximum:
            return zoom->maximum;
        case zoomStep:
            return zoom->step;
        case zoomCurrent:
            return zoom->value;
        default:
            return -1;
        }
    });
}

void fnSetCameraProp(int index, long value, int prop, bool autoMode)
{
    Q_UNUSED(autoMode);
    withCamera(index, false, [=](Camera &camera) {
        const std::optional<optrelle::ZoomRange> zoom = camera.zoomRange();
        if (prop != zoomProperty || !zoom)
            return false;
        return camera.setZoom(int(std::clamp<long>(value, zoom->minimum, zoom->maximum)));
    });
}

void fnRotateLeft(int index)
{
    onCamera(index, [](Camera &camera) { camera.turn(-1); });
}

void fnRotateRight(int index)
{
    onCamera(index, [](Camera &camera) { camera.turn(1); });
}

void fnZoomIn(int index)
{
    onCamera(index, [](Camera &camera) { camera.zoomBy(1); });
}

void fnZoomOut(int index)
{
    onCamera(index, [](Camera &camera) { camera.zoomBy(-1); });
}

const char *fnReadBarcode(int index)
{
    return withCamera(index, "", [](Camera &camera) { return camera.readBarcode().c_str(); });
}

void fnShowVideoProp(int index)
{
    onCamera(index, [](Camera &camera) { camera.showProperties(); });
}

int fnStartRecord(int index, const char *path, bool withPicture)
{
    Q_UNUSED(withPicture);
    return withCamera(index, 0, [path](Camera &camera) {
        return path && camera.startRecording(pathOf(path)) ? 1 : 0;
    });
}

void fnStopRecord(int index)
{
    onCamera(index, [](Camera &camera) { camera.stopRecording(); });
}

int fnIsRecording(int index)
{
    return withCamera(index, 0, [](Camera &camera) { return camera.isRecording() ? 1 : 0; });
}

const char *fnGetRecordError(int index)
{
    return withCamera(index, "", [](Camera &camera) { return camera.recordingError().c_str(); });
}

void fnEnableAutoCrop(int index, bool on)
{
    onCamera(index, [on](Camera &camera) { camera.setAutoCrop(on); });
}

void fnSetMouseMode(int index, int mode)
{
    onCamera(index, [mode](Camera &camera) { camera.setManualCrop(mode == manualCropMouseMode); });
}

void fnOnLMouseDown(OptrelleWindowId window, int x, int y)
{
    onCameraRenderingInto(window, [x, y](Camera &camera) { camera.mousePressed(QPoint(x, y)); });
}

void fnOnMouseMove(OptrelleWindowId window, int x, int y)
{
    onCameraRenderingInto(window, [x, y](Camera &camera) { camera.mouseMoved(QPoint(x, y)); });
}

void fnOnLMouseUp(OptrelleWindowId window, int x, int y)
{
    onCameraRenderingInto(window, [x, y](Camera &camera) { camera.mouseReleased(QPoint(x, y)); });
}

} // extern "C"
