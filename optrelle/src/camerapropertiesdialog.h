#pragma once

#include "cameracontrol.h"

#include <QDialog>

#include <functional>
#include <vector>

namespace optrelle {

class Camera;

// The camera's own settings: a slider, switch or menu for each control the
// device offers, applied as they change, and a reset to the device's defaults.
// Not modal; deletes itself when closed.
class CameraPropertiesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CameraPropertiesDialog(Camera &camera);

private:
    QWidget *editorFor(const CameraControl &control);
    void resetToDefaults();

    Camera &m_camera;
    // Shows a value in a control's editor without applying it again.
    std::vector<std::pair<CameraControl, std::function<void(int)>>> m_editors;
};

} // namespace optrelle
