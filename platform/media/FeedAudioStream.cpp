#include "platform/media/FeedAudioStream.h"

#include <algorithm>
#include <chrono>

namespace {

// A block of the feed, and how long a read waits for one before time goes
// on with silence: the same span, so that silence keeps to the clock.
constexpr std::chrono::milliseconds kBlock{20};
constexpr std::chrono::milliseconds kWait{50};

}  // namespace

CFeedAudioStream::CFeedAudioStream(SPasskey, std::shared_ptr<CAudioFeed> pFeed)
    : m_pFeed(std::move(pFeed)) {}

CFeedAudioStream::~CFeedAudioStream() = default;

std::unique_ptr<CFeedAudioStream> CFeedAudioStream::Create(std::shared_ptr<CAudioFeed> pFeed,
                                                           const char* name) {
    EnsureGstInit();
    if (!pFeed) {
        return nullptr;
    }
    auto pStream = std::make_unique<CFeedAudioStream>(SPasskey{}, std::move(pFeed));
    GstElementPtr pAppSrc = MakeOwnedElement("appsrc", "Feed");
    GstElementPtr pConvert = MakeOwnedElement("audioconvert", "Convert");
    GstElementPtr pResample = MakeOwnedElement("audioresample", "Resample");
    GstElementPtr pCaps = MakeOwnedElement("capsfilter", "Format");
    if (!pAppSrc || !pConvert || !pResample || !pCaps) {
        return nullptr;
    }
    pStream->m_pBin.reset(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(name))));
    GstBin* pBin = GST_BIN(pStream->m_pBin.get());
    gst_bin_add_many(pBin, pAppSrc.get(), pConvert.get(), pResample.get(), pCaps.get(), nullptr);
    if (!gst_element_link_many(pAppSrc.get(), pConvert.get(), pResample.get(), pCaps.get(),
                               nullptr)) {
        return nullptr;
    }
    GstObjectPtr<GstPad> pPad(gst_element_get_static_pad(pCaps.get(), "src"));
    gst_element_add_pad(pStream->m_pBin.get(), gst_ghost_pad_new("src", pPad.get()));
    pStream->m_pCaps = pCaps.get();

    const CAudioFeed::SFormat& feed = pStream->m_pFeed->Format();
    GstCapsPtr pFeedCaps(gst_caps_new_simple(
        "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout", G_TYPE_STRING, "interleaved",
        "rate", G_TYPE_INT, feed.nSampleRate, "channels", G_TYPE_INT, feed.nChannels, nullptr));
    g_object_set(pAppSrc.get(), "is-live", TRUE, "format", GST_FORMAT_TIME, "caps", pFeedCaps.get(),
                 nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = &CFeedAudioStream::OnNeedData;
    gst_app_src_set_callbacks(GST_APP_SRC(pAppSrc.get()), &callbacks, pStream.get(), nullptr);
    return pStream;
}

void CFeedAudioStream::Configure(const SAudioFormat* pFormat) {
    if (pFormat) {
        SAudioFormat format = *pFormat;
        format.nBitsPerSample = 16;
        if (GstCapsPtr pCaps = AudioCapsFor(format)) {
            g_object_set(m_pCaps, "caps", pCaps.get(), nullptr);
        }
    }
    std::lock_guard lock(m_mutex);
    m_pReader = m_pFeed->OpenReader();
}

uint64_t CFeedAudioStream::SilentFrames() const {
    std::lock_guard lock(m_mutex);
    return m_nSilentFrames;
}

void CFeedAudioStream::OnNeedData(GstAppSrc* pAppSrc, guint, gpointer pUserData) {
    static_cast<CFeedAudioStream*>(pUserData)->PushBlock(pAppSrc);
}

void CFeedAudioStream::PushBlock(GstAppSrc* pAppSrc) {
    const CAudioFeed::SFormat& feed = m_pFeed->Format();
    const auto nChannels = static_cast<size_t>(feed.nChannels);
    const auto nRate = static_cast<uint64_t>(feed.nSampleRate);
    const auto nBlockFrames = static_cast<size_t>(nRate * kBlock.count() / 1000);
    m_block.assign(nBlockFrames * nChannels, 0);
    size_t nFrames = 0;
    uint64_t nLost = 0;
    {
        std::unique_lock lock(m_mutex);
        if (!m_pReader) {
            m_pReader = m_pFeed->OpenReader();
        }
        CAudioFeed::CReader* pReader = m_pReader.get();
        lock.unlock();  // Configure() may run meanwhile only before the start
        nFrames = pReader->Read(m_block.data(), nBlockFrames, kWait, &nLost);
        if (nFrames == 0 && pReader->IsClosed()) {
            gst_app_src_end_of_stream(pAppSrc);
            return;
        }
    }
    // Late or lost: silence of the time that passed, as a card would give.
    if (nFrames == 0) {
        nFrames = static_cast<size_t>(nRate * kWait.count() / 1000);
        nLost += nFrames;
        m_block.assign(nFrames * nChannels, 0);
    } else if (nLost > 0) {
        m_block.insert(m_block.begin(), static_cast<size_t>(nLost) * nChannels, 0);
        nFrames += static_cast<size_t>(nLost);
    }
    if (nLost > 0) {
        std::lock_guard lock(m_mutex);
        m_nSilentFrames += nLost;
    }
    const auto nBytes = static_cast<gsize>(nFrames * nChannels * sizeof(int16_t));
    GstBuffer* pBuffer = gst_buffer_new_allocate(nullptr, nBytes, nullptr);
    if (!pBuffer) {
        return;
    }
    gst_buffer_fill(pBuffer, 0, m_block.data(), nBytes);
    GST_BUFFER_PTS(pBuffer) = gst_util_uint64_scale(m_nFramesOut, GST_SECOND, nRate);
    m_nFramesOut += nFrames;
    GST_BUFFER_DURATION(pBuffer) =
        gst_util_uint64_scale(m_nFramesOut, GST_SECOND, nRate) - GST_BUFFER_PTS(pBuffer);
    gst_app_src_push_buffer(pAppSrc, pBuffer);  // takes the buffer
}
