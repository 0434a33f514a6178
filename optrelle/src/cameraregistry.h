#pragma once

#include "camera.h"

#include <memory>
#include <vector>

namespace optrelle {

// The cameras found by fnInit, in index order. Made once and never destroyed, so
// no capture thread meets a half-destroyed library at process exit; the capture
// threads themselves are stopped when the application object goes and at exit.
class CameraRegistry
{
public:
    static CameraRegistry &instance();

    // Chooses the backend (OPTRELLE_BACKEND) and finds its cameras; later calls
    // do nothing. False when the configuration is malformed; then no camera.
    bool init();
    int count() const { return int(m_cameras.size()); }
    // Null for an index that is no camera.
    Camera *camera(int index) const;
    void stopAll();

private:
    CameraRegistry() = default;

    bool m_initialised = false;
    bool m_configurationValid = true;
    std::vector<std::unique_ptr<Camera>> m_cameras;
};

} // namespace optrelle
