#include "tests/system/AudioDecode.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

#include "platform/media/GstSupport.h"

std::vector<int16_t> DecodeToMono(const std::string& strPath, int nRate) {
    EnsureGstInit();
    std::vector<int16_t> samples;
    GstElement* pPipeline = gst_pipeline_new("decode");
    GstElement* pSource = gst_element_factory_make("filesrc", nullptr);
    GstElement* pDecode = gst_element_factory_make("decodebin", nullptr);
    GstElement* pConvert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* pResample = gst_element_factory_make("audioresample", nullptr);
    GstElement* pSink = gst_element_factory_make("appsink", nullptr);
    if (!pPipeline || !pSource || !pDecode || !pConvert || !pResample || !pSink) {
        return samples;
    }
    gst_bin_add_many(GST_BIN(pPipeline), pSource, pDecode, pConvert, pResample, pSink, nullptr);
    g_object_set(pSource, "location", strPath.c_str(), nullptr);
    GstCaps* pCaps =
        gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "channels", G_TYPE_INT,
                            1, "rate", G_TYPE_INT, nRate, nullptr);
    g_object_set(pSink, "caps", pCaps, "sync", FALSE, nullptr);
    gst_caps_unref(pCaps);
    gst_element_link(pSource, pDecode);
    gst_element_link_many(pConvert, pResample, pSink, nullptr);
    g_signal_connect(
        pDecode, "pad-added", G_CALLBACK(+[](GstElement*, GstPad* pPad, gpointer pConvertSink) {
            GstPad* pTarget = gst_element_get_static_pad(GST_ELEMENT(pConvertSink), "sink");
            if (!gst_pad_is_linked(pTarget)) {
                gst_pad_link(pPad, pTarget);
            }
            gst_object_unref(pTarget);
        }),
        pConvert);
    gst_element_set_state(pPipeline, GST_STATE_PLAYING);
    for (;;) {
        GstSample* pSample = gst_app_sink_try_pull_sample(GST_APP_SINK(pSink), 10 * GST_SECOND);
        if (!pSample) {
            break;  // the end, an error or nothing for ten seconds
        }
        GstBuffer* pBuffer = gst_sample_get_buffer(pSample);
        GstMapInfo map;
        if (pBuffer && gst_buffer_map(pBuffer, &map, GST_MAP_READ)) {
            const size_t nAt = samples.size();
            samples.resize(nAt + map.size / 2);
            std::memcpy(samples.data() + nAt, map.data, (map.size / 2) * 2);
            gst_buffer_unmap(pBuffer, &map);
        }
        gst_sample_unref(pSample);
    }
    gst_element_set_state(pPipeline, GST_STATE_NULL);
    gst_object_unref(pPipeline);
    return samples;
}

bool WriteToneWav(const std::string& strPath, double dHz, double dSeconds, int nRate) {
    const auto nFrames = static_cast<uint32_t>(dSeconds * nRate);
    const uint32_t nDataBytes = nFrames * 4;
    std::ofstream out(strPath, std::ios::binary);
    const auto put32 = [&](uint32_t v) {
        const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8),
                           static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
        out.write(b, 4);
    };
    const auto put16 = [&](uint16_t v) {
        const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
        out.write(b, 2);
    };
    out.write("RIFF", 4);
    put32(36 + nDataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(static_cast<uint32_t>(nRate));
    put32(static_cast<uint32_t>(nRate) * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(nDataBytes);
    for (uint32_t n = 0; n < nFrames; ++n) {
        const double dValue = 0.5 * std::sin(2.0 * std::numbers::pi * dHz * n / nRate);
        const auto nSample = static_cast<int16_t>(std::lround(dValue * 32767.0));
        put16(static_cast<uint16_t>(nSample));
        put16(static_cast<uint16_t>(nSample));
    }
    return static_cast<bool>(out);
}

double ToneFrequency(const std::vector<int16_t>& samples, int nRate) {
    size_t nFirst = 0;
    size_t nLast = 0;
    size_t nCrossings = 0;
    for (size_t n = 1; n < samples.size(); ++n) {
        if (samples[n - 1] < 0 && samples[n] >= 0) {
            if (nCrossings == 0) {
                nFirst = n;
            }
            nLast = n;
            ++nCrossings;
        }
    }
    if (nCrossings < 2) {
        return 0.0;
    }
    return static_cast<double>(nCrossings - 1) * nRate / static_cast<double>(nLast - nFirst);
}
