#include "platform/media/SimAudioStream.h"

#include <algorithm>

#include "sim/receiver/SimProgramme.h"

CSimAudioStream::CSimAudioStream(SPasskey, const CSimProgrammeSource* pProgramme)
    : m_pProgramme(pProgramme) {}

std::unique_ptr<CSimAudioStream> CSimAudioStream::Create(const CSimProgrammeSource* pProgramme,
                                                         const char* name) {
    EnsureGstInit();
    auto pStream = std::make_unique<CSimAudioStream>(SPasskey{}, pProgramme);
    GstElementPtr pAppSrc = MakeOwnedElement("appsrc", "Programme");
    // Stamped blocks leave as fast as they are made; clocksync holds each one
    // until its end, when a sound card would have delivered it.
    GstElementPtr pClockSync = MakeOwnedElement("clocksync", "Real Time");
    if (!pAppSrc || !pClockSync) {
        return nullptr;
    }
    pStream->m_pBin.reset(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(name))));
    GstBin* pBin = GST_BIN(pStream->m_pBin.get());
    gst_bin_add_many(pBin, pAppSrc.get(), pClockSync.get(), nullptr);
    if (!gst_element_link(pAppSrc.get(), pClockSync.get())) {
        return nullptr;
    }
    GstObjectPtr<GstPad> pPad(gst_element_get_static_pad(pClockSync.get(), "src"));
    gst_element_add_pad(pStream->m_pBin.get(), gst_ghost_pad_new("src", pPad.get()));

    pStream->m_pAppSrc = pAppSrc.get();
    pStream->m_pClockSync = pClockSync.get();
    g_object_set(pAppSrc.get(), "is-live", TRUE, "format", GST_FORMAT_TIME, nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = &CSimAudioStream::OnNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(pAppSrc.get()), &callbacks, pStream.get(), nullptr);
    pStream->Configure(2, 44100, 44100 * 4 / 20);
    return pStream;
}

void CSimAudioStream::Configure(int nChannels, int nSampleRate, int nBlockBytes) {
    std::lock_guard lock(m_mutex);
    m_nChannels = std::max(nChannels, 1);
    m_nSampleRate = std::max(nSampleRate, 1);
    m_nBlockFrames = std::max(nBlockBytes / (m_nChannels * 2), 1);
    GstCapsPtr pCaps(gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
        "rate", G_TYPE_INT, m_nSampleRate, "channels", G_TYPE_INT, m_nChannels, nullptr));
    gst_app_src_set_caps(GST_APP_SRC(m_pAppSrc), pCaps.get());
    const auto nBlockTime = gst_util_uint64_scale(static_cast<guint64>(m_nBlockFrames), GST_SECOND,
                                                  static_cast<guint64>(m_nSampleRate));
    g_object_set(m_pClockSync, "ts-offset", static_cast<gint64>(nBlockTime), nullptr);
}

void CSimAudioStream::OnNeedData(GstAppSrc* pAppSrc, guint, gpointer pUserData) {
    static_cast<CSimAudioStream*>(pUserData)->PushBlock(pAppSrc);
}

void CSimAudioStream::PushBlock(GstAppSrc* pAppSrc) {
    int nChannels = 0;
    int nSampleRate = 0;
    int nFrames = 0;
    {
        std::lock_guard lock(m_mutex);
        nChannels = m_nChannels;
        nSampleRate = m_nSampleRate;
        nFrames = m_nBlockFrames;
    }
    const SSimProgramme programme =
        m_pProgramme ? m_pProgramme->CurrentProgramme() : CProgrammeSynth::NoReceiver();

    const auto nBytes = static_cast<gsize>(nFrames) * static_cast<gsize>(nChannels) * 2;
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, nBytes, nullptr);
    GstMapInfo map;
    if (!pBuffer || !gst_buffer_map(pBuffer, &map, GST_MAP_WRITE)) {
        if (pBuffer) {
            gst_buffer_unref(pBuffer);
        }
        return;
    }
    m_synth.Render(programme, reinterpret_cast<int16_t*>(map.data), static_cast<size_t>(nFrames),
                   nChannels, nSampleRate);
    gst_buffer_unmap(pBuffer, &map);

    const auto nRate = static_cast<guint64>(nSampleRate);
    GST_BUFFER_PTS(pBuffer) = gst_util_uint64_scale(m_nFramesOut, GST_SECOND, nRate);
    m_nFramesOut += static_cast<uint64_t>(nFrames);
    GST_BUFFER_DURATION(pBuffer) =
        gst_util_uint64_scale(m_nFramesOut, GST_SECOND, nRate) - GST_BUFFER_PTS(pBuffer);
    gst_app_src_push_buffer(pAppSrc, pBuffer);  // takes the buffer
}
