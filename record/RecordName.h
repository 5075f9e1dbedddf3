#pragma once

#include <ctime>
#include <string>

// A recording's file name from the options' pattern. The pattern's fields are
// {start} (20261209180000, the name Kestrel gives without a pattern),
// {date} (2026-12-09), {time} (1800), {station}, {memo} and {band} (FM,
// AM); any other text stands as written. The name is safe on every file
// system a record folder may be on (ext4, exFAT, FAT32, NTFS, SMB shares):
// no separators, reserved characters, control characters, trailing dots or
// blanks, reserved device names, and at most kMaxNameBytes bytes.
class CRecordName {
public:
    static constexpr size_t kMaxNameBytes = 200;  // room for the extension and " (99)"

    struct SFields {
        std::time_t tStart = 0;
        std::string strStation;
        std::string strMemo;
        std::string strBand;
    };

    // Without an extension. An empty pattern, or one that leaves nothing, is {start}.
    static std::string Build(const std::string& strPattern, const SFields& fields);
    // A name that may stand on its own on every file system.
    static std::string Safe(const std::string& strText);
    // strFolder/strName.strExtension, or with " (2)", " (3)", ... before the
    // extension when that file exists: a recording never replaces another.
    static std::string Unused(const std::string& strFolder, const std::string& strName,
                              const std::string& strExtension);
};
