#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace optrelle {

// One of a camera's own settings (brightness, white balance, power-line
// frequency, ...) as its property dialog shows it. For a V4L2 camera the id is
// the driver's control id.
struct CameraControl
{
    enum class Kind
    {
        Integer, // a slider from minimum to maximum in steps of step
        Boolean, // a switch, 0 or 1
        Menu,    // one of the menu's values
    };

    std::uint32_t id = 0;
    std::string name;
    Kind kind = Kind::Integer;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int value = 0;
    std::vector<std::pair<int, std::string>> menu; // value and its label
};

} // namespace optrelle
