#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Independent readers of the files the recorder writes: the WAV header as
// stored on disk, and GStreamer's discoverer for what a player would see.

struct SWavHeader {
    bool bValid = false;
    int nFormatTag = 0;
    int nChannels = 0;
    int nSampleRate = 0;
    int nByteRate = 0;
    int nBlockAlign = 0;
    int nBitsPerSample = 0;
    uint32_t nRiffBytes = 0;  // as the RIFF header states it
    uint32_t nDataBytes = 0;
    uint64_t nDataAt = 0;  // first byte of the samples
    uint64_t nFileBytes = 0;
    bool bInfoAfterData = false;  // a LIST INFO chunk (the tags) ends the file
    // The samples and any chunks after them fill the file exactly.
    bool Whole() const;
};

SWavHeader ReadWavHeader(const std::string& path);
// The samples of a 16-bit PCM WAV file, interleaved; empty for anything else.
std::vector<int16_t> ReadWavSamples(const std::string& path);

struct SDiscovered {
    bool bOk = false;
    double dDuration = 0.0;
    std::string strContainerCaps;
    std::string strAudioCaps;
    int nChannels = 0;
    int nSampleRate = 0;
    // The file's tags as a player reads them; empty when it has none.
    std::string strTitle;
    std::string strArtist;
    std::string strComment;
    int nYear = 0;  // of the date or date and time, 0 without
};

SDiscovered Discover(const std::string& path);

// Energy of one frequency in channel 0 of interleaved samples (Goertzel),
// relative to the block's total energy: near 1 for a pure tone.
double ToneShare(const int16_t* pSamples, size_t nFrames, int nChannels, int nSampleRate,
                 double dHz);
