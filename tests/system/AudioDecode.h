#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Decodes any file GStreamer can play to mono 16-bit samples at the given
// rate (decodebin, as a player would); empty when it cannot.
std::vector<int16_t> DecodeToMono(const std::string& strPath, int nRate);
// Writes a 16-bit stereo WAV file holding a sine tone.
bool WriteToneWav(const std::string& strPath, double dHz, double dSeconds, int nRate);
// The frequency of the strongest tone in mono samples, from their zero
// crossings: good for a clean sine, which is what the suite plays.
double ToneFrequency(const std::vector<int16_t>& samples, int nRate);
