#include "platform/media/FeedCaptureDevice.h"

#include "platform/audio/AudioFeed.h"
#include "platform/media/FeedAudioStream.h"

namespace {

class CFeedSource : public CGstCaptureSource {
public:
    CFeedSource(std::unique_ptr<CFeedAudioStream> pStream, CAudioFeed::SFormat format)
        : m_pStream(std::move(pStream)), m_format(format) {}

    GstElement* Element() const override { return m_pStream->Element(); }
    SAudioFormat NativeFormat() const override {
        const int nAlign = m_format.nChannels * 2;
        return {m_format.nSampleRate, m_format.nChannels, m_format.nSampleRate * nAlign, 16,
                nAlign};
    }
    MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) override {
        pins = {{true, EPinDirection::Output, true, "Capture"}};
        return S_OK;
    }
    MediaStatus EnableInput(int, bool) override { return E_FAIL; }
    void Prepare(const SAudioFormat* pFormat, const SCaptureBuffering*) override {
        m_pStream->Configure(pFormat);
    }

private:
    std::unique_ptr<CFeedAudioStream> m_pStream;
    CAudioFeed::SFormat m_format;
};

}  // namespace

CFeedCaptureDevice::CFeedCaptureDevice(std::shared_ptr<CAudioFeed> pFeed)
    : m_pFeed(std::move(pFeed)), m_strName("Kestrel receiver audio") {}

std::unique_ptr<CGstCaptureSource> CFeedCaptureDevice::Bind() const {
    auto pStream = CFeedAudioStream::Create(m_pFeed, "Audio Capture");
    if (!pStream) {
        return nullptr;
    }
    return std::make_unique<CFeedSource>(std::move(pStream), m_pFeed->Format());
}
