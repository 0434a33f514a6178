#pragma once

#include "cameradevice.h"

#include <memory>
#include <optional>
#include <vector>

namespace optrelle {

// The cameras of the backend that OPTRELLE_BACKEND names: "v4l2" (real cameras),
// "sim" (OPTRELLE_CAMERAS, or one default camera when unset), or "auto" / unset
// (real cameras when there are any, else the simulated ones). std::nullopt, after
// a line on stderr, when a variable is malformed.
std::optional<std::vector<std::unique_ptr<CameraDevice>>> camerasOfChosenBackend();

} // namespace optrelle
