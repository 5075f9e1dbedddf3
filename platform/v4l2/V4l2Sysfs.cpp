#include "platform/v4l2/V4l2Sysfs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string FirstLine(const fs::path& path) {
    std::ifstream file(path);
    std::string strLine;
    std::getline(file, strLine);
    return strLine;
}

// The number after the prefix ("radio20" gives 20); -1 when it is not one.
int NumberAfter(const std::string& strName, const std::string& strPrefix) {
    if (strName.size() <= strPrefix.size() ||
        strName.compare(0, strPrefix.size(), strPrefix) != 0) {
        return -1;
    }
    const std::string strDigits = strName.substr(strPrefix.size());
    if (!std::all_of(strDigits.begin(), strDigits.end(),
                     [](char c) { return c >= '0' && c <= '9'; }) ||
        strDigits.size() > 6) {
        return -1;
    }
    return std::stoi(strDigits);
}

}  // namespace

std::vector<std::string> CV4l2Sysfs::RadioNodes() const {
    std::vector<std::pair<int, std::string>> found;
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(m_strRoot) / "class/video4linux", error)) {
        const std::string strName = entry.path().filename().string();
        const int nNumber = NumberAfter(strName, "radio");
        if (nNumber >= 0) {
            found.emplace_back(nNumber, strName);
        }
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [nNumber, strName] : found) {
        names.push_back(std::move(strName));
    }
    return names;
}

std::string CV4l2Sysfs::UsbDeviceOf(const std::string& strNode) const {
    std::error_code error;
    fs::path path =
        fs::canonical(fs::path(m_strRoot) / "class/video4linux" / strNode / "device", error);
    if (error) {
        return {};
    }
    const fs::path root = fs::canonical(m_strRoot, error);
    for (; !path.empty() && path != root && path != path.root_path(); path = path.parent_path()) {
        if (fs::exists(path / "idVendor", error) && fs::exists(path / "idProduct", error)) {
            return path.string();
        }
    }
    return {};
}

std::string CV4l2Sysfs::UsbIdentity(const std::string& strNode) const {
    const std::string strDevice = UsbDeviceOf(strNode);
    if (strDevice.empty()) {
        return {};
    }
    const fs::path device(strDevice);
    return "usb:" + FirstLine(device / "idVendor") + ":" + FirstLine(device / "idProduct") + ":" +
           FirstLine(device / "serial");
}

std::string CV4l2Sysfs::Name(const std::string& strNode) const {
    return FirstLine(fs::path(m_strRoot) / "class/video4linux" / strNode / "name");
}

std::string CV4l2Sysfs::CaptureDevice(const std::string& strNode) const {
    const std::string strDevice = UsbDeviceOf(strNode);
    if (strDevice.empty()) {
        return {};
    }
    // The sound card hangs below one of the device's interfaces:
    // <device>/<interface>/sound/cardN.
    std::vector<std::pair<int, fs::path>> cards;
    std::error_code error;
    for (const fs::directory_entry& interface : fs::directory_iterator(strDevice, error)) {
        std::error_code inner;
        for (const fs::directory_entry& card :
             fs::directory_iterator(interface.path() / "sound", inner)) {
            const int nCard = NumberAfter(card.path().filename().string(), "card");
            if (nCard >= 0) {
                cards.emplace_back(nCard, card.path());
            }
        }
    }
    std::sort(cards.begin(), cards.end());
    for (const auto& [nCard, path] : cards) {
        const std::string strCapture = "pcmC" + std::to_string(nCard) + "D0c";
        if (!fs::exists(path / strCapture, error)) {
            continue;
        }
        const std::string strId = FirstLine(path / "id");
        return "plughw:CARD=" + (strId.empty() ? std::to_string(nCard) : strId) + ",DEV=0";
    }
    return {};
}
