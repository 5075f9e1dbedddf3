#pragma once

#include <ctime>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

// An INI file read and written by the classic private-profile rules: sections
// and keys compared without regard to ASCII case, the
// first of duplicate sections or keys wins, names and values trimmed of
// blanks, one pair of enclosing quotes stripped from a value, lines starting
// with ';' are comments, "\r\n" and "\n" both end a line.
//
// Every read sees the file as it is on disk: the parsed copy is reused only
// while the file's identity, size and modification time are unchanged. Only a
// regular file of at most kMaxFileSize bytes is read, and the path is never
// waited on, so a FIFO, device or folder there neither blocks nor floods.
// A missing file reads as empty. A file that exists but cannot be read also
// reads as empty, is never written (writes fail: a failed read must not turn
// into a file holding only the keys written since), and the reason is said
// once per file and process on standard error.
// A write keeps every other line as it was and replaces the file atomically
// (temporary file beside it, flushed, renamed over it), so a reader or a
// crash never sees half a file. A symbolic link is followed to the file it
// finally names, which is replaced; the link stays. Temporaries are named
// ".<name>.tmp-<pid>-XXXXXX"; the first write of an object removes those whose
// writer is gone or that lay untouched for ten minutes. Thread-safe.
class CIniFile {
public:
    // Well above the largest real profile (200 preset titles of 4095
    // characters), far below what a runaway read would eat.
    static constexpr size_t kMaxFileSize = size_t{4} << 20;

    explicit CIniFile(std::string path);

    const std::string& Path() const { return m_path; }

    // The value cut to maxLength characters, or
    // nullopt when the file, section or key is missing or the value is empty.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key,
                                          size_t maxLength) const;
    // The value as an integer (blanks, sign, the lower-case prefixes 0x, 0o
    // and 0b only,
    // stops at the first other character, no digits = 0), or nDefault when
    // there is no value.
    int ReadInt(std::string_view section, std::string_view key, int nDefault) const;

    // Writes the value. False when the file could not be read or
    // replaced; the old file is then unchanged.
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);

    // Many values written as one replacement of the file: all of them or,
    // when it fails, none.
    struct SWrite {
        std::string_view section;
        std::string_view key;
        std::string_view value;
    };
    bool WriteStrings(std::span<const SWrite> writes);

    // The integer rule of ReadInt, for callers that parse text the same way.
    static int ParseInt(std::string_view text);

private:
    struct SEntry {
        std::string key;
        std::string value;
        size_t nLine;
    };
    struct SSection {
        std::string name;
        size_t nHeaderLine;
        size_t nLastEntryLine;
        std::vector<SEntry> entries;
    };
    struct SStamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        timespec modified{};
        bool operator==(const SStamp& other) const;
    };

    // Re-reads the file when it changed on disk. Caller holds m_mutex.
    void Refresh() const;
    void Forget(bool bUnreadable) const;
    void Parse(const std::string& text) const;
    const SSection* FindSection(std::string_view section) const;
    bool Replace(const std::string& text);
    // The file's text with one write made; caller holds m_mutex.
    std::string Edited(const SWrite& write) const;

    std::string m_path;
    mutable std::mutex m_mutex;
    mutable std::optional<SStamp> m_stamp;
    mutable std::vector<std::string> m_lines;
    mutable std::vector<SSection> m_sections;
    mutable bool m_bUnreadable = false;
    bool m_bSwept = false;  // stale temporaries removed
};
