#pragma once

#include <string>

// Checks of a finished recording against what is on disk, and the repair of a
// header that a failed write left behind: a writer that meets a full disk or
// an I/O error stops before it can state the file's true length.

struct SMediaFileCheck {
    bool bValid = false;     // a file of the kind the check reads
    bool bRepaired = false;  // its header was rewritten, its torn end cut off
    double dSeconds = 0.0;   // of audio the file holds (after any repair)
};

// A PCM WAV file: the RIFF and data chunk sizes are made to match the file,
// its data cut to whole sample frames.
SMediaFileCheck CheckWavFile(const std::string& strPath);

// An ASF (WMA) file of fixed-size packets: a torn last packet is cut off, and
// the file size, packet counts and play duration are made to match the
// packets on disk.
SMediaFileCheck CheckAsfFile(const std::string& strPath);
