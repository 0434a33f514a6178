#include "usbids.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace optrelle {

namespace {

namespace fs = std::filesystem;

// The first word of the file in lower case when it is four hex digits.
std::string hexIdIn(const fs::path &file)
{
    std::ifstream in(file);
    std::string word;
    in >> word;
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const bool hex = word.size() == 4 && std::all_of(word.begin(), word.end(), [](unsigned char c) {
                         return std::isxdigit(c);
                     });
    return hex ? word : "0000";
}

} // namespace

UsbIds usbIdsOfVideoNode(const std::string &sysfsRoot, const std::string &nodeName)
{
    std::error_code error;
    const fs::path root = fs::canonical(sysfsRoot, error);
    fs::path folder = fs::canonical(root / "class" / "video4linux" / nodeName / "device", error);
    if (error)
        return {};
    // Up from the USB interface, but not out of the sysfs tree.
    for (; folder != root && folder.has_relative_path(); folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", error) && fs::exists(folder / "idProduct", error))
            return {hexIdIn(folder / "idVendor"), hexIdIn(folder / "idProduct")};
    }
    return {};
}

} // namespace optrelle
