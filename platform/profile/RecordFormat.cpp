#include "platform/profile/RecordFormat.h"

namespace {

struct SFormat {
    ERecordFormat eFormat;
    const char* pExtension;
};
constexpr SFormat kFormats[] = {
    {ERecordFormat::Wma, "wma"},   {ERecordFormat::Wav, "wav"}, {ERecordFormat::Flac, "flac"},
    {ERecordFormat::Opus, "opus"}, {ERecordFormat::Mp3, "mp3"},
};

}  // namespace

namespace RecordFormats {

ERecordFormat FromType(int nType) {
    for (const SFormat& format : kFormats) {
        if (static_cast<int>(format.eFormat) == nType) {
            return format.eFormat;
        }
    }
    return ERecordFormat::Wav;
}

const char* Extension(ERecordFormat eFormat) {
    for (const SFormat& format : kFormats) {
        if (format.eFormat == eFormat) {
            return format.pExtension;
        }
    }
    return "wav";
}

}  // namespace RecordFormats
