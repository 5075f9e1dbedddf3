#include "tests/platform/media/MediaFileProbe.h"

#include <gst/pbutils/pbutils.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "platform/media/GstSupport.h"

namespace {

uint32_t Le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string CapsText(GstCaps* pCaps) {
    if (!pCaps) {
        return {};
    }
    GCharPtr pText(gst_caps_to_string(pCaps));
    gst_caps_unref(pCaps);
    return pText.get();
}

}  // namespace

SWavHeader ReadWavHeader(const std::string& path) {
    SWavHeader header;
    const std::vector<unsigned char> bytes = ReadAll(path);
    header.nFileBytes = bytes.size();
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return header;
    }
    header.nRiffBytes = Le32(bytes.data() + 4);
    bool bFormat = false;
    bool bData = false;
    for (size_t nAt = 12; nAt + 8 <= bytes.size();) {
        const unsigned char* pChunk = bytes.data() + nAt;
        const uint32_t nSize = Le32(pChunk + 4);
        if (std::memcmp(pChunk, "fmt ", 4) == 0 && nAt + 8 + 16 <= bytes.size()) {
            const unsigned char* p = pChunk + 8;
            header.nFormatTag = Le16(p);
            header.nChannels = Le16(p + 2);
            header.nSampleRate = static_cast<int>(Le32(p + 4));
            header.nByteRate = static_cast<int>(Le32(p + 8));
            header.nBlockAlign = Le16(p + 12);
            header.nBitsPerSample = Le16(p + 14);
            bFormat = true;
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            header.nDataBytes = nSize;
            header.nDataAt = nAt + 8;
            bData = true;
            const uint64_t nAfter = header.nDataAt + nSize + (nSize & 1);
            header.bInfoAfterData = nAfter + 12 <= bytes.size() &&
                                    std::memcmp(bytes.data() + nAfter, "LIST", 4) == 0 &&
                                    std::memcmp(bytes.data() + nAfter + 8, "INFO", 4) == 0;
            break;
        }
        nAt += 8 + nSize + (nSize & 1);
    }
    header.bValid = bFormat && bData;
    return header;
}

bool SWavHeader::Whole() const {
    if (!bValid || static_cast<uint64_t>(nRiffBytes) + 8 != nFileBytes) {
        return false;
    }
    const uint64_t nEnd = nDataAt + nDataBytes;
    return nEnd == nFileBytes || (bInfoAfterData && nEnd < nFileBytes);
}

std::vector<int16_t> ReadWavSamples(const std::string& path) {
    const std::vector<unsigned char> bytes = ReadAll(path);
    const SWavHeader header = ReadWavHeader(path);
    if (!header.bValid || header.nBitsPerSample != 16 || header.nDataBytes > bytes.size()) {
        return {};
    }
    if (header.nDataAt + header.nDataBytes > bytes.size()) {
        return {};
    }
    std::vector<int16_t> samples(header.nDataBytes / 2);
    std::memcpy(samples.data(), bytes.data() + header.nDataAt, samples.size() * 2);
    return samples;
}

SDiscovered Discover(const std::string& path) {
    EnsureGstInit();
    SDiscovered result;
    GError* pError = nullptr;
    GstObjectPtr<GstDiscoverer> pDiscoverer(gst_discoverer_new(10 * GST_SECOND, &pError));
    g_clear_error(&pError);
    GCharPtr pUri(gst_filename_to_uri(std::filesystem::absolute(path).c_str(), nullptr));
    if (!pDiscoverer || !pUri) {
        return result;
    }
    GstDiscovererInfo* pInfo = gst_discoverer_discover_uri(pDiscoverer.get(), pUri.get(), &pError);
    g_clear_error(&pError);
    if (!pInfo) {
        return result;
    }
    result.bOk = gst_discoverer_info_get_result(pInfo) == GST_DISCOVERER_OK;
    result.dDuration =
        ClockTimeToSeconds(static_cast<gint64>(gst_discoverer_info_get_duration(pInfo)));
    if (GstDiscovererStreamInfo* pTop = gst_discoverer_info_get_stream_info(pInfo)) {
        result.strContainerCaps = CapsText(gst_discoverer_stream_info_get_caps(pTop));
        g_object_unref(pTop);
    }
    GList* pAudio = gst_discoverer_info_get_audio_streams(pInfo);
    if (pAudio) {
        auto* pStream = static_cast<GstDiscovererAudioInfo*>(pAudio->data);
        result.nChannels = static_cast<int>(gst_discoverer_audio_info_get_channels(pStream));
        result.nSampleRate = static_cast<int>(gst_discoverer_audio_info_get_sample_rate(pStream));
        result.strAudioCaps = CapsText(gst_discoverer_stream_info_get_caps(
            static_cast<GstDiscovererStreamInfo*>(pAudio->data)));
    }
    gst_discoverer_stream_info_list_free(pAudio);
    if (const GstTagList* pTags = gst_discoverer_info_get_tags(pInfo)) {
        const auto text = [pTags](const char* pTag) {
            gchar* pValue = nullptr;
            std::string strValue;
            if (gst_tag_list_get_string(pTags, pTag, &pValue) && pValue) {
                strValue = pValue;
            }
            g_free(pValue);
            return strValue;
        };
        result.strTitle = text(GST_TAG_TITLE);
        result.strArtist = text(GST_TAG_ARTIST);
        result.strComment = text(GST_TAG_COMMENT);
        GDate* pDate = nullptr;
        GstDateTime* pWhen = nullptr;
        if (gst_tag_list_get_date(pTags, GST_TAG_DATE, &pDate) && pDate) {
            result.nYear = g_date_get_year(pDate);
            g_date_free(pDate);
        } else if (gst_tag_list_get_date_time(pTags, GST_TAG_DATE_TIME, &pWhen) && pWhen) {
            result.nYear = gst_date_time_get_year(pWhen);
            gst_date_time_unref(pWhen);
        }
    }
    g_object_unref(pInfo);
    return result;
}

double ToneShare(const int16_t* pSamples, size_t nFrames, int nChannels, int nSampleRate,
                 double dHz) {
    const double dCoefficient = 2.0 * std::cos(2.0 * std::numbers::pi * dHz / nSampleRate);
    double dPrev = 0.0;
    double dPrev2 = 0.0;
    double dTotal = 0.0;
    for (size_t n = 0; n < nFrames; ++n) {
        const double dSample = pSamples[n * static_cast<size_t>(nChannels)] / 32768.0;
        dTotal += dSample * dSample;
        const double dValue = dSample + dCoefficient * dPrev - dPrev2;
        dPrev2 = dPrev;
        dPrev = dValue;
    }
    if (dTotal <= 0.0 || nFrames == 0) {
        return 0.0;
    }
    const double dPower = dPrev * dPrev + dPrev2 * dPrev2 - dCoefficient * dPrev * dPrev2;
    // A pure sine of energy E gives a Goertzel power of N * E / 2.
    return 2.0 * dPower / (static_cast<double>(nFrames) * dTotal);
}
