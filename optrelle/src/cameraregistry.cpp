#include "cameraregistry.h"

#include "backendselection.h"

#include <QCoreApplication>

#include <cstdlib>

namespace optrelle {

namespace {

void stopAllCameras()
{
    CameraRegistry::instance().stopAll();
}

} // namespace

CameraRegistry &CameraRegistry::instance()
{
    // Deliberately never destroyed (see the class comment).
    static CameraRegistry *registry = new CameraRegistry;
    return *registry;
}

bool CameraRegistry::init()
{
    if (m_initialised)
        return m_configurationValid;
    m_initialised = true;
    std::optional<std::vector<std::unique_ptr<CameraDevice>>> devices = camerasOfChosenBackend();
    m_configurationValid = devices.has_value();
    // Capture threads call into the program and into Qt: stop them while both
    // still exist, when the application object goes or, with exit(), before
    // static objects are destroyed. exit() destroys statics in the reverse order
    // of their creation, and a capture thread's first frame creates some (Qt's
    // painting, the program's callback); the handler registered after that frame
    // runs before they go.
    const auto stopAtExit = [] { std::atexit(stopAllCameras); };
    if (devices)
        for (std::unique_ptr<CameraDevice> &device : *devices)
            m_cameras.push_back(std::make_unique<Camera>(std::move(device), stopAtExit));
    if (QCoreApplication::instance())
        qAddPostRoutine(stopAllCameras);
    stopAtExit();
    return m_configurationValid;
}

Camera *CameraRegistry::camera(int index) const
{
    return index >= 0 && index < count() ? m_cameras[std::size_t(index)].get() : nullptr;
}

void CameraRegistry::stopAll()
{
    for (const std::unique_ptr<Camera> &camera : m_cameras)
        camera->shutDown();
}

} // namespace optrelle
