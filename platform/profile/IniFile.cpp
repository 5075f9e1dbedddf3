#include "platform/profile/IniFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/trace/Trace.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view StripQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A value written into the file must stay one line, whatever the caller typed.
std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\0') {
            c = ' ';
        }
    }
    return line;
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return 99;
}

bool ReadWholeFile(const std::string& path, std::string& text, struct stat& info) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool bOk = ::fstat(fd, &info) == 0;
    text.clear();
    char buffer[65536];
    while (bOk) {
        ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bOk = n == 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return bOk;
}

}  // namespace

bool CIniFile::SStamp::operator==(const SStamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec;
}

CIniFile::CIniFile(std::string path) : m_path(std::move(path)) {}

int CIniFile::ParseInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') {
        ++i;
    }
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        bNegative = text[i] == '-';
        ++i;
    }
    int nBase = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        char prefix = Lower(text[i + 1]);
        nBase = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (nBase != 10) {
            i += 2;
        }
    }
    uint32_t nValue = 0;
    for (; i < text.size(); ++i) {
        int nDigit = DigitValue(text[i]);
        if (nDigit >= nBase) {
            break;
        }
        nValue = nValue * static_cast<uint32_t>(nBase) + static_cast<uint32_t>(nDigit);
    }
    if (bNegative) {
        nValue = 0u - nValue;
    }
    return static_cast<int>(nValue);
}

void CIniFile::Refresh() const {
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0) {
        m_stamp.reset();
        m_lines.clear();
        m_sections.clear();
        return;
    }
    SStamp stamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    if (m_stamp && *m_stamp == stamp) {
        return;
    }
    std::string text;
    if (!ReadWholeFile(m_path, text, info)) {
        KestrelTrace("CIniFile", "Cannot read %s: %s", m_path.c_str(), std::strerror(errno));
        m_stamp.reset();
        m_lines.clear();
        m_sections.clear();
        return;
    }
    // The stamp of what was read, not of what was stat'ed before: a writer
    // may have replaced the file in between.
    m_stamp = SStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    Parse(text);
}

void CIniFile::Parse(const std::string& text) const {
    m_lines.clear();
    m_sections.clear();
    std::string_view rest(text);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        rest.remove_prefix(3);
    }
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        m_lines.emplace_back(line);
    }
    for (size_t n = 0; n < m_lines.size(); ++n) {
        std::string_view line = Trim(m_lines[n]);
        if (line.empty() || line.front() == ';') {
            continue;
        }
        if (line.front() == '[') {
            size_t close = line.find(']');
            std::string_view name =
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
            m_sections.push_back({std::string(Trim(name)), n, n, {}});
            continue;
        }
        size_t equals = line.find('=');
        if (m_sections.empty() || equals == std::string_view::npos) {
            continue;
        }
        SSection& section = m_sections.back();
        section.entries.push_back({std::string(Trim(line.substr(0, equals))),
                                   std::string(StripQuotes(Trim(line.substr(equals + 1)))), n});
        section.nLastEntryLine = n;
    }
}

const CIniFile::SSection* CIniFile::FindSection(std::string_view section) const {
    for (const SSection& s : m_sections) {
        if (EqualNoCase(s.name, section)) {
            return &s;
        }
    }
    return nullptr;
}

std::optional<std::string> CIniFile::ReadString(std::string_view section, std::string_view key,
                                                size_t maxLength) const {
    std::lock_guard lock(m_mutex);
    Refresh();
    const SSection* pSection = FindSection(section);
    if (!pSection) {
        return std::nullopt;
    }
    for (const SEntry& entry : pSection->entries) {
        if (!EqualNoCase(entry.key, key)) {
            continue;
        }
        // The Windows calls copy into a C string: an embedded NUL ends the value.
        std::string value = entry.value.substr(0, entry.value.find('\0'));
        if (value.size() > maxLength) {
            // Never split a UTF-8 character: back off its continuation bytes.
            size_t cut = maxLength;
            while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
                --cut;
            }
            value.resize(cut);
        }
        if (value.empty()) {
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
}

int CIniFile::ReadInt(std::string_view section, std::string_view key, int nDefault) const {
    std::optional<std::string> value = ReadString(section, key, 4095);
    return value ? ParseInt(*value) : nDefault;
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    std::lock_guard lock(m_mutex);
    Refresh();
    std::vector<std::string> lines = m_lines;
    const std::string entryValue = OneLine(value);
    const SSection* pSection = FindSection(section);
    if (!pSection) {
        if (!lines.empty() && !Trim(lines.back()).empty()) {
            lines.emplace_back();
        }
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(key) + "=" + entryValue);
    } else {
        const SEntry* pEntry = nullptr;
        for (const SEntry& entry : pSection->entries) {
            if (EqualNoCase(entry.key, key)) {
                pEntry = &entry;
                break;
            }
        }
        if (pEntry) {
            lines[pEntry->nLine] = pEntry->key + "=" + entryValue;
        } else {
            lines.insert(lines.begin() + static_cast<long>(pSection->nLastEntryLine) + 1,
                         std::string(key) + "=" + entryValue);
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    if (!Replace(text)) {
        return false;
    }
    Parse(text);
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        m_stamp = SStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    } else {
        m_stamp.reset();
    }
    return true;
}

bool CIniFile::Replace(const std::string& text) const {
    std::filesystem::path target(m_path);
    std::error_code error;
    if (target.has_parent_path()) {
        std::filesystem::create_directories(target.parent_path(), error);
    }
    std::string temporary = m_path + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        KestrelTrace("CIniFile", "Cannot write %s: %s", m_path.c_str(), std::strerror(errno));
        return false;
    }
    struct stat old {};
    ::fchmod(fd, ::stat(m_path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<size_t>(n);
    }
    bool bOk = written == text.size() && ::fsync(fd) == 0;
    int savedErrno = errno;
    bOk = (::close(fd) == 0) && bOk;
    if (bOk && ::rename(temporary.c_str(), m_path.c_str()) == 0) {
        int dir = ::open(target.has_parent_path() ? target.parent_path().c_str() : ".",
                         O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return true;
    }
    KestrelTrace("CIniFile", "Cannot write %s: %s", m_path.c_str(),
                 std::strerror(bOk ? errno : savedErrno));
    ::unlink(temporary.c_str());
    return false;
}
