#pragma once

#include <string>

namespace optrelle {

// A USB camera's ids as the library reports them: four lower-case hex digits.
struct UsbIds
{
    std::string vendor = "0000";
    std::string product = "0000";
};

// The ids of the USB device behind a video node ("video0"), read below sysfsRoot
// ("/sys"): the node's device link leads to a USB interface, whose parent
// folders hold idVendor and idProduct. "0000" for what cannot be read.
UsbIds usbIdsOfVideoNode(const std::string &sysfsRoot, const std::string &nodeName);

} // namespace optrelle
