#include "platform/profile/IniFile.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/UniqueFd.h"
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

const char* NotRegular(mode_t mode) {
    return S_ISDIR(mode) ? std::strerror(EISDIR) : "not a regular file";
}

// Reads a regular file whole, without ever blocking on what the path names.
// Returns why it could not, or the empty string.
std::string ReadRegularFile(const std::string& path, struct stat& info, std::string& text) {
    if (!S_ISREG(info.st_mode)) {
        return NotRegular(info.st_mode);
    }
    CUniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0) {
        return std::strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return NotRegular(info.st_mode);
    }
    text.clear();
    char buffer[65536];
    while (text.size() <= CIniFile::kMaxFileSize) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::strerror(errno);
        }
        if (n == 0) {
            return {};
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    return "larger than " + std::to_string(CIniFile::kMaxFileSize >> 20) + " MiB";
}

// Once per file and process: the user learns why the settings are not theirs
// without a line for every lookup.
void NoticeUnreadable(const std::string& path, const std::string& reason) {
    static std::mutex mutex;
    static std::set<std::string> noticed;
    std::lock_guard lock(mutex);
    if (noticed.insert(path).second) {
        std::fprintf(stderr,
                     "Kestrel: cannot read %s (%s); using the defaults and leaving the file "
                     "untouched\n",
                     path.c_str(), reason.c_str());
    }
}

bool WriteFailed(const std::string& path, const char* reason) {
    KestrelTrace("CIniFile", "Cannot write %s: %s", path.c_str(), reason);
    return false;
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

// Where a write goes: the end of the path's chain of symbolic links, so that
// a linked file keeps its link. A relative link is relative to its folder.
std::optional<std::filesystem::path> FinalTarget(std::filesystem::path path) {
    for (int nLinks = 0; nLinks < 40; ++nLinks) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, error))) {
            return path;
        }
        std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error) {
            return std::nullopt;
        }
        path = path.parent_path() / link;
    }
    return std::nullopt;
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

std::string TemporaryPrefix(const std::filesystem::path& target) {
    return "." + target.filename().string() + ".tmp-";
}

// The writer's process id in "<pid>-XXXXXX", or 0 when the name is not ours.
pid_t WriterOf(std::string_view rest) {
    const size_t dash = rest.find('-');
    pid_t pid = 0;
    if (dash == std::string_view::npos || rest.size() != dash + 7) {
        return 0;
    }
    auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
    return error == std::errc() && end == rest.data() + dash ? pid : 0;
}

// Temporaries of writers killed half-way. One whose writer still runs is about
// to be renamed and stays, unless it has not been touched for ten minutes: no
// write takes that long, and its process id may since have been reused.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
    constexpr std::time_t kAbandonedSeconds = 600;
    const std::string prefix = TemporaryPrefix(target);
    std::error_code error;
    for (std::filesystem::directory_iterator it(FolderOf(target), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        const pid_t writer = name.starts_with(prefix) ? WriterOf(name.substr(prefix.size())) : 0;
        struct stat info {};
        if (writer <= 0 || ::lstat(it->path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        const bool bWriterGone = ::kill(writer, 0) != 0 && errno == ESRCH;
        if (bWriterGone || std::time(nullptr) - info.st_mtime > kAbandonedSeconds) {
            ::unlink(it->path().c_str());
        }
    }
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
        const char prefix = text[i + 1];
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
        const int nError = errno;
        Forget(nError != ENOENT);
        if (nError != ENOENT) {
            NoticeUnreadable(m_path, std::strerror(nError));
        }
        return;
    }
    if (m_stamp && *m_stamp == SStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim}) {
        return;
    }
    std::string text;
    if (std::string reason = ReadRegularFile(m_path, info, text); !reason.empty()) {
        Forget(true);
        NoticeUnreadable(m_path, reason);
        return;
    }
    // The stamp of what was read, not of what was stat'ed before: a writer
    // may have replaced the file in between.
    m_stamp = SStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    m_bUnreadable = false;
    Parse(text);
}

void CIniFile::Forget(bool bUnreadable) const {
    m_stamp.reset();
    m_lines.clear();
    m_sections.clear();
    m_bUnreadable = bUnreadable;
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
    const SWrite write{section, key, value};
    return WriteStrings(std::span(&write, 1));
}

std::string CIniFile::Edited(const SWrite& write) const {
    std::vector<std::string> lines = m_lines;
    const std::string entryValue = OneLine(write.value);
    const SSection* pSection = FindSection(write.section);
    if (!pSection) {
        if (!lines.empty() && !Trim(lines.back()).empty()) {
            lines.emplace_back();
        }
        lines.push_back("[" + std::string(write.section) + "]");
        lines.push_back(std::string(write.key) + "=" + entryValue);
    } else {
        const SEntry* pEntry = nullptr;
        for (const SEntry& entry : pSection->entries) {
            if (EqualNoCase(entry.key, write.key)) {
                pEntry = &entry;
                break;
            }
        }
        if (pEntry) {
            lines[pEntry->nLine] = pEntry->key + "=" + entryValue;
        } else {
            lines.insert(lines.begin() + static_cast<long>(pSection->nLastEntryLine) + 1,
                         std::string(write.key) + "=" + entryValue);
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CIniFile::WriteStrings(std::span<const SWrite> writes) {
    std::lock_guard lock(m_mutex);
    Refresh();
    if (m_bUnreadable) {
        return WriteFailed(m_path, "the file could not be read");
    }
    std::string text;
    for (const SWrite& write : writes) {
        text = Edited(write);
        Parse(text);
    }
    if (writes.empty()) {
        return true;
    }
    if (!Replace(text)) {
        Forget(false);  // the copy holds writes the file does not: read it again
        return false;
    }
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        m_stamp = SStamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    } else {
        m_stamp.reset();
    }
    return true;
}

bool CIniFile::Replace(const std::string& text) {
    std::error_code error;
    if (const std::filesystem::path path(m_path); path.has_parent_path()) {
        std::filesystem::create_directories(path.parent_path(), error);
    }
    const std::optional<std::filesystem::path> target = FinalTarget(m_path);
    if (!target) {
        return WriteFailed(m_path, std::strerror(ELOOP));
    }
    struct stat old {};
    const bool bExists = ::stat(target->c_str(), &old) == 0;
    if (bExists && !S_ISREG(old.st_mode)) {
        return WriteFailed(m_path, NotRegular(old.st_mode));
    }
    if (!m_bSwept) {
        RemoveStaleTemporaries(*target);
        m_bSwept = true;
    }
    std::string temporary = (FolderOf(*target) / TemporaryPrefix(*target)).string() +
                            std::to_string(::getpid()) + "-XXXXXX";
    CUniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.IsValid()) {
        return WriteFailed(m_path, std::strerror(errno));
    }
    ::fchmod(fd.Get(), bExists ? (old.st_mode & 07777) : 0644);
    bool bOk = WriteAll(fd.Get(), text) && ::fsync(fd.Get()) == 0;
    const int savedErrno = errno;
    bOk = fd.Close() && bOk;
    if (bOk && ::rename(temporary.c_str(), target->c_str()) == 0) {
        CUniqueFd folder(::open(FolderOf(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.IsValid()) {
            ::fsync(folder.Get());
        }
        return true;
    }
    const int nError = bOk ? errno : savedErrno;
    ::unlink(temporary.c_str());
    return WriteFailed(m_path, std::strerror(nError));
}
