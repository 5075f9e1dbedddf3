#include "platform/hid/HidrawServices.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "platform/hid/HidrawHandle.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "hidraw";
constexpr std::string_view kPrefix = "hidraw";
// The kernel caps a report descriptor at 4 KiB; anything far larger is junk.
constexpr std::streamsize kMaxDescriptor = 64 * 1024;

// N of a "hidrawN" name, or nothing for any other name.
std::optional<unsigned> NodeNumber(const std::string& name) {
    if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) {
        return std::nullopt;
    }
    unsigned number = 0;
    const char* first = name.data() + kPrefix.size();
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return number;
}

std::optional<SHidReportLayout> ReadLayout(const std::filesystem::path& entry) {
    const std::filesystem::path file = entry / "device" / "report_descriptor";
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        KestrelTrace(kTag, "cannot read %s", file.c_str());
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(kMaxDescriptor);
    in.read(reinterpret_cast<char*>(bytes.data()), kMaxDescriptor);
    bytes.resize(static_cast<size_t>(in.gcount()));
    SHidReportLayout layout = CHidReportDescriptor::Parse(bytes.data(), bytes.size());
    if (!layout.bWellFormed) {
        KestrelTrace(kTag, "report descriptor of %s is damaged; lengths from its readable part",
                     entry.filename().c_str());
    }
    return layout;
}

}  // namespace

CHidrawServices::CHidrawServices(std::filesystem::path sysfsRoot, std::filesystem::path devRoot)
    : m_classDir(std::move(sysfsRoot) / "class" / "hidraw"), m_devRoot(std::move(devRoot)) {}

std::vector<std::string> CHidrawServices::EnumerateInterfaces() {
    std::vector<std::pair<unsigned, std::string>> nodes;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_classDir, ec)) {
        const std::string name = entry.path().filename().string();
        if (auto number = NodeNumber(name)) {
            nodes.emplace_back(*number, name);
        }
    }
    if (ec && ec != std::errc::no_such_file_or_directory) {
        KestrelTrace(kTag, "cannot list %s: %s", m_classDir.c_str(), ec.message().c_str());
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (const auto& node : nodes) {
        paths.push_back((m_devRoot / node.second).string());
    }
    return paths;
}

std::unique_ptr<CHidHandle> CHidrawServices::Open(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    if (!NodeNumber(name)) {
        KestrelTrace(kTag, "%s is not a hidraw node", path.c_str());
        return nullptr;
    }
    // O_NOCTTY: a stand-in node may be a terminal; it must never become ours.
    CUniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!fd.IsValid()) {
        KestrelTrace(kTag, "cannot open %s: %s", path.c_str(), std::strerror(errno));
        return nullptr;
    }
    const std::filesystem::path entry = m_classDir / name;
    return std::make_unique<CHidrawHandle>(std::move(fd), entry, ReadLayout(entry));
}
