#pragma once

#include <string>

// The formats a recording is written in. The values are the options' record
// type (SET/RECOTYPE): 0 WMA and 1 WAV as they always were; a value Kestrel
// does not know is WAV, as before there were more.
enum class ERecordFormat { Wma = 0, Wav = 1, Flac = 2, Opus = 3, Mp3 = 4 };

namespace RecordFormats {

ERecordFormat FromType(int nType);
// The file name's extension, without the dot: "wma", "wav", "flac", "opus", "mp3".
const char* Extension(ERecordFormat eFormat);

}  // namespace RecordFormats
