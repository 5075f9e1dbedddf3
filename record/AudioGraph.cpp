#include "record/AudioGraph.h"

#include <filesystem>
#include <utility>

#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "platform/profile/Profile.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr const char* kTag = "media";
constexpr const char* kCaption = KestrelNames::kWindowTitle;
const std::string kNoEntry;

// Buffering asked of the capture pins: six buffers of 50 ms each.
constexpr int kCaptureBuffers = 6;
constexpr float kBufferSeconds = 0.05f;

// Capture rate by quality (0 normal, 1 good, 2 best); 0 for any other.
int WavSampleRate(int nQuality) {
    switch (nQuality) {
        case 0:
            return 11025;
        case 1:
            return 22050;
        case 2:
            return 44100;
        default:
            return 0;
    }
}

// WMA bit rate by quality; 0 leaves the encoder's own.
int WmaBitRate(int nQuality) {
    switch (nQuality) {
        case 0:
            return 64000;
        case 1:
            return 96000;
        case 2:
            return 128000;
        default:
            return 0;
    }
}

// The encoder's setting by quality: FLAC's compression (the rate is the
// capture's), Opus's and MP3's bit rate. Opus is transparent for speech and
// music well below MP3's rates.
std::pair<ECompressedFormat, int> CompressedLevel(ERecordFormat eFormat, int nQuality) {
    const size_t n = nQuality >= 0 && nQuality <= 2 ? static_cast<size_t>(nQuality) : 0;
    constexpr int kOpusRates[] = {64000, 96000, 128000};
    constexpr int kMp3Rates[] = {128000, 192000, 256000};
    switch (eFormat) {
        case ERecordFormat::Opus:
            return {ECompressedFormat::Opus, kOpusRates[n]};
        case ERecordFormat::Mp3:
            return {ECompressedFormat::Mp3, kMp3Rates[n]};
        default:
            return {ECompressedFormat::Flac, 5};
    }
}

// A list entry holds at most kMaxNameBytes bytes; a longer name is cut at a
// character boundary, so that the entry stays valid UTF-8.
std::string ListEntry(const std::string& strName) {
    if (strName.size() <= CAudioGraph::kMaxNameBytes) {
        return strName;
    }
    size_t nLength = CAudioGraph::kMaxNameBytes;
    while (nLength > 0 && (static_cast<unsigned char>(strName[nLength]) & 0xC0) == 0x80) {
        --nLength;
    }
    return strName.substr(0, nLength);
}

bool Contains(const std::string& strText, const std::string& strPart) {
    return strText.find(strPart) != std::string::npos;
}

}  // namespace

CAudioGraph::CAudioGraph(CMediaServices& media, CMessageBoxes& messageBoxes)
    : m_media(media), m_messageBoxes(messageBoxes) {
    EnumerateDevices();
}

CAudioGraph::~CAudioGraph() {
    ReleaseCaptureGraph();
    ReleasePlaybackGraph();
}

const std::string& CAudioGraph::DeviceListEntry(int nIndex) const {
    if (nIndex < 0 || nIndex >= kMaxEntries) {
        return kNoEntry;
    }
    return m_deviceList[static_cast<size_t>(nIndex)];
}

const std::string& CAudioGraph::PinListEntry(int nIndex) const {
    if (nIndex < 0 || nIndex >= kMaxEntries) {
        return kNoEntry;
    }
    return m_pinList[static_cast<size_t>(nIndex)];
}

std::string CAudioGraph::FallbackRecordFile() {
    return CProfile::HomeFolder() + "/test.wav";
}

std::string CAudioGraph::LoadText(const std::string& strKey, const std::string& strDefault) const {
    const std::string strText = m_textProvider ? m_textProvider(strKey) : std::string();
    return strText.empty() ? strDefault : strText;
}

void CAudioGraph::ShowError(const std::string& strKey, const std::string& strDefault) {
    m_messageBoxes.Show(m_pNotifyWnd, LoadText(strKey, strDefault), kCaption,
                        CMessageBoxes::EIcon::Error);
}

long CAudioGraph::Open(CMessageTarget* pNotifyWnd) {
    m_pNotifyWnd = pNotifyWnd;
    m_nDeviceIndex = 0;
    if (const MediaStatus status = CreateCaptureGraph(); MediaFailed(status)) {
        return status;
    }
    for (int n = 0; n < m_nDeviceCount; ++n) {
        if (Contains(m_deviceList[static_cast<size_t>(n)], m_strDeviceName)) {
            m_nDeviceIndex = n;
            break;
        }
    }
    return 1;
}

bool CAudioGraph::EnumerateDevices() {
    MediaDeviceList devices;
    if (!m_media.EnumerateCaptureDevices(devices)) {
        return false;
    }
    m_nDeviceCount = 0;
    for (const auto& pDevice : devices) {
        if (m_nDeviceCount == kMaxEntries) {
            KestrelTrace(kTag, "more than %d capture devices; the rest are not listed",
                         kMaxEntries);
            break;
        }
        const auto nSlot = static_cast<size_t>(m_nDeviceCount++);
        m_deviceList[nSlot] = ListEntry(pDevice->DisplayName());
        m_pMonikers[nSlot] = pDevice;
    }
    for (size_t nSlot = static_cast<size_t>(m_nDeviceCount); nSlot < m_pMonikers.size(); ++nSlot) {
        m_deviceList[nSlot].clear();
        m_pMonikers[nSlot].reset();
    }
    return m_nDeviceCount > 0;
}

MediaStatus CAudioGraph::CreateCaptureGraph() {
    std::unique_ptr<CCaptureGraph> pGraph = m_media.CreateCaptureGraph();
    if (!pGraph) {
        return E_NOINTERFACE;
    }
    // Only a failed recording is noticed: the window stops it and tells the
    // user. Posting is safe from the streaming thread.
    pGraph->SetFaultNotify([pNotifyWnd = m_pNotifyWnd] {
        if (pNotifyWnd) {
            pNotifyWnd->Post(WM_GRAPH_NOTIFY, 0, 0);
        }
    });
    m_pGB = std::move(pGraph);
    return S_OK;
}

void CAudioGraph::ReleaseCaptureGraph() {
    m_pGB.reset();
    ReleasePlaybackGraph();
}

MediaStatus CAudioGraph::RebuildCaptureGraph() {
    ReleaseCaptureGraph();
    return CreateCaptureGraph();
}

bool CAudioGraph::OpenDevice(int nIndex) {
    if (nIndex < 0 || nIndex >= m_nDeviceCount) {
        return false;
    }
    if (m_pGB && m_pGB->HasCaptureSource()) {
        RebuildCaptureGraph();
    }
    const auto& pMoniker = m_pMonikers[static_cast<size_t>(nIndex)];
    if (!pMoniker || !m_pGB || MediaFailed(m_pGB->AddCaptureSource(*pMoniker))) {
        return false;
    }
    std::vector<SMediaPin> pins;
    if (MediaFailed(m_pGB->EnumeratePins(pins))) {
        return false;
    }
    m_nPinCount = 0;
    int nInput = 0;
    for (const SMediaPin& pin : pins) {
        const bool bInput = pin.bDirectionKnown && pin.eDirection == EPinDirection::Input;
        if (pin.bDirectionKnown && !bInput) {
            continue;  // output pins are not listed
        }
        if (m_nPinCount == kMaxEntries) {
            KestrelTrace(kTag, "more than %d input pins; the rest are not listed", kMaxEntries);
            break;
        }
        const auto nSlot = static_cast<size_t>(m_nPinCount++);
        m_pinInputs[nSlot] = bInput ? nInput++ : -1;
        if (!pin.bDirectionKnown) {
            m_pinList[nSlot] = "<ERROR>";
        } else if (pin.bInfoKnown) {
            m_pinList[nSlot] = ListEntry(pin.strName);
        }
        // An input pin whose name cannot be read keeps what the entry held.
    }
    return true;
}

// Entries and input pins are told apart: after an "<ERROR>" entry, entry n is
// no longer input pin n, and switching by entry number would pick the wrong
// input.
MediaStatus CAudioGraph::SelectPin(int nIndex) {
    MediaStatus status = S_OK;
    for (int n = 0; n < m_nPinCount; ++n) {
        const int nInput = m_pinInputs[static_cast<size_t>(n)];
        if (nInput < 0) {
            continue;  // a pin of unknown direction cannot be switched
        }
        status = m_pGB ? m_pGB->EnableInput(nInput, n == nIndex) : E_POINTER;
    }
    return status;
}

int CAudioGraph::PrepareDevice() {
    if (m_pSourceDevice) {
        return m_pGB && !MediaFailed(m_pGB->AddCaptureSource(*m_pSourceDevice)) ? 0 : 1;
    }
    if (!OpenDevice(m_nDeviceIndex)) {
        return 1;  // the build goes on without a source and fails at the render
    }
    if (m_nPinIndex >= 0) {
        SelectPin(m_nPinIndex);
    }
    return 0;
}

bool CAudioGraph::SelectDevice(const std::string& strDeviceName, const std::string& strPinName) {
    EnumerateDevices();
    if (m_nDeviceCount == 0) {
        ShowError("MESSAGE_4", "Can't find sound card");
        return false;
    }
    int nDevice = 0;
    if (!strDeviceName.empty()) {
        nDevice = -1;
        for (int n = 0; n < m_nDeviceCount; ++n) {
            if (Contains(strDeviceName, m_deviceList[static_cast<size_t>(n)])) {
                nDevice = n;
                break;
            }
        }
        if (nDevice < 0) {
            return false;
        }
    }
    m_nDeviceIndex = nDevice;
    if (strPinName.empty()) {
        return true;
    }
    CreateCaptureGraph();
    OpenDevice(m_nDeviceIndex);
    for (int n = 0; n < m_nPinCount; ++n) {
        if (Contains(strPinName, m_pinList[static_cast<size_t>(n)])) {
            m_nPinIndex = n;
            return true;
        }
    }
    return false;
}

std::string CAudioGraph::OutputFileName() const {
    return m_strRecordFile.empty() ? FallbackRecordFile() : m_strRecordFile;
}

bool CAudioGraph::StartRecording(bool bWav) {
    return StartRecording(bWav ? ERecordFormat::Wav : ERecordFormat::Wma);
}

bool CAudioGraph::StartRecording(ERecordFormat eFormat) {
    ClosePlayback();
    StopRecording();
    m_eRecordFault = ECaptureFault::None;
    m_strRecordFaultDetail.clear();
    m_dRecordedSeconds = 0.0;
    m_bRecordFileKept = false;
    if (MediaFailed(CreateCaptureGraph())) {
        return false;
    }
    PrepareDevice();
    if (eFormat == ERecordFormat::Wav || eFormat == ERecordFormat::Flac) {
        const MediaStatus status =
            eFormat == ERecordFormat::Wav ? BuildWavChain() : BuildCompressedChain(eFormat);
        if (status != S_OK) {
            return false;
        }
        // Lossless: the quality is the capture rate.
        if (const int nRate = WavSampleRate(m_nQuality); nRate > 0) {
            SetCaptureFormat(2, 2, nRate);
        }
    } else if (MediaFailed(eFormat == ERecordFormat::Wma ? BuildWmaChain()
                                                         : BuildCompressedChain(eFormat))) {
        return false;
    }
    // A graph that does not run (device busy, folder missing, disk full or
    // not writable) records nothing: that is a failed start, not a recording,
    // and it leaves no file.
    m_pGB->SetFreeSpaceReserve(m_nFreeSpaceReserve);
    if (MediaFailed(m_pGB->Run())) {
        KestrelTrace(kTag, "the capture graph does not run; no recording to %s",
                     OutputFileName().c_str());
        KeepRecordOutcome();
        ReleaseCaptureGraph();
        return false;
    }
    m_bRecording = true;
    return true;
}

MediaStatus CAudioGraph::BuildWavChain() {
    if (!m_pGB) {
        return E_POINTER;
    }
    if (const MediaStatus status = m_pGB->AddWavWriter(OutputFileName()); status != S_OK) {
        return status;
    }
    m_pGB->SetTags(m_recordTags);
    return m_pGB->RenderCapture();
}

MediaStatus CAudioGraph::SetCaptureFormat(int nChannels, int nBytesPerSample, int nSampleRate) {
    const int nBytesPerSecond = nChannels * nBytesPerSample * nSampleRate;
    const auto nBufferBytes =
        static_cast<int>(static_cast<float>(nBytesPerSecond) * kBufferSeconds);
    const int nBlockAlign = nChannels * nBytesPerSample;
    MediaStatus status = S_OK;
    for (int nPin = 0; nPin < 2; ++nPin) {
        status = m_pGB->SuggestBuffers(nPin, kCaptureBuffers, nBufferBytes, nBlockAlign);
        if (MediaFailed(status)) {
            return status;  // the first missing pin ends the loop
        }
        SAudioFormat format;
        status = m_pGB->GetFormat(nPin, format);
        if (MediaFailed(status)) {
            return status;
        }
        format.nSamplesPerSec = nSampleRate;
        format.nChannels = nChannels;
        format.nAvgBytesPerSec = nBytesPerSecond;
        format.nBitsPerSample = 8 * nBytesPerSample;
        format.nBlockAlign = nBlockAlign;
        status = m_pGB->SetFormat(nPin, format);
    }
    return status;
}

MediaStatus CAudioGraph::BuildWmaChain() {
    if (!m_pGB) {
        return E_POINTER;
    }
    if (const MediaStatus status = m_pGB->SetAsfOutput(OutputFileName()); MediaFailed(status)) {
        ShowError("MESSAGE_3",
                  "Record WMA format file error,Plese install Microsoft Window Media 9/10");
        return status;
    }
    if (const int nBitRate = WmaBitRate(m_nQuality); nBitRate > 0) {
        m_pGB->ConfigureAsf(nBitRate);
    }
    m_pGB->SetTags(m_recordTags);
    return m_pGB->RenderCapture();
}

MediaStatus CAudioGraph::BuildCompressedChain(ERecordFormat eFormat) {
    if (!m_pGB) {
        return E_POINTER;
    }
    const auto [eCompressed, nLevel] = CompressedLevel(eFormat, m_nQuality);
    if (const MediaStatus status =
            m_pGB->SetCompressedOutput(eCompressed, OutputFileName(), nLevel);
        MediaFailed(status)) {
        ShowError("MESSAGE_73",
                  "Cannot record in this format. Please install the packages "
                  "gstreamer1.0-plugins-good (FLAC, MP3) and gstreamer1.0-plugins-base (Ogg "
                  "Opus), or choose another record type in the options.");
        return status;
    }
    m_pGB->SetTags(m_recordTags);
    return m_pGB->RenderCapture();
}

void CAudioGraph::RemoveWavChain() {
    if (m_pGB) {
        m_pGB->RemoveWavChain();
    }
}

int CAudioGraph::StopRecording() {
    if (m_pGB) {
        m_pGB->StopWhenReady();
        if (m_bRecording) {
            KeepRecordOutcome();
        }
    }
    RemoveWavChain();
    ReleaseCaptureGraph();
    m_bRecording = false;
    return 0;
}

void CAudioGraph::KeepRecordOutcome() {
    m_eRecordFault = m_pGB->Fault();
    m_strRecordFaultDetail = m_pGB->FaultDetail();
    m_dRecordedSeconds = m_pGB->WrittenSeconds();
    m_bRecordFileKept = m_pGB->FileKept();
}

ECaptureFault CAudioGraph::RecordFault() const {
    return m_bRecording && m_pGB ? m_pGB->Fault() : m_eRecordFault;
}

std::string CAudioGraph::RecordFaultDetail() const {
    return m_bRecording && m_pGB ? m_pGB->FaultDetail() : m_strRecordFaultDetail;
}

double CAudioGraph::RecordedSeconds() const {
    return m_bRecording && m_pGB ? m_pGB->WrittenSeconds() : m_dRecordedSeconds;
}

bool CAudioGraph::RecordFileKept() const {
    return m_bRecording || m_bRecordFileKept;
}

MediaStatus CAudioGraph::CreatePlaybackGraph() {
    ReleasePlaybackGraph();
    std::unique_ptr<CPlaybackGraph> pGraph = m_media.CreatePlaybackGraph();
    if (!pGraph) {
        return E_NOINTERFACE;
    }
    m_pGBPlayback = std::move(pGraph);
    AddMatchingRenderer();
    return S_OK;
}

bool CAudioGraph::AddMatchingRenderer() {
    MediaDeviceList renderers;
    if (!m_media.EnumerateRenderers(renderers) || renderers.empty()) {
        return false;
    }
    const std::string& strCapture = DeviceListEntry(m_nDeviceIndex);
    for (const auto& pRenderer : renderers) {
        if (Contains(pRenderer->DisplayName(), strCapture)) {
            m_pRenderer = pRenderer;
            m_pGBPlayback->AddRenderer(*pRenderer);
            break;
        }
    }
    // Without a match the default output plays.
    return true;
}

void CAudioGraph::ReleasePlaybackGraph() {
    m_pGBPlayback.reset();
    m_pRenderer.reset();
}

bool CAudioGraph::OpenPlayback(const std::string& strPath, bool bPlay) {
    StopRecording();
    ClosePlayback();
    if (MediaFailed(CreatePlaybackGraph())) {
        return false;
    }
    if (MediaFailed(m_pGBPlayback->RenderFile(strPath))) {
        return false;
    }
    if (bPlay) {
        m_pGBPlayback->Run();
        m_bPaused = false;
    } else {
        m_bPaused = true;
    }
    m_bPlaybackOpen = true;
    m_strPlaybackFile = strPath;
    return true;
}

void CAudioGraph::TogglePause() {
    if (!m_pGBPlayback) {
        return;
    }
    if (!m_bPaused) {
        m_pGBPlayback->Pause();
        m_bPaused = true;
    } else {
        m_pGBPlayback->Run();
        m_bPaused = false;
    }
}

MediaStatus CAudioGraph::ClosePlayback() {
    MediaStatus status = S_OK;
    if (m_pGBPlayback) {
        status = m_pGBPlayback->Stop();
        ReleasePlaybackGraph();
    }
    m_bPlaybackOpen = false;
    m_strPlaybackFile.clear();
    return status;
}

double CAudioGraph::GetDuration() const {
    double dSeconds = 0.0;
    if (!m_pGBPlayback || m_pGBPlayback->GetDuration(dSeconds) != S_OK) {
        return 0.0;
    }
    return dSeconds;
}

double CAudioGraph::GetPosition() const {
    double dSeconds = 0.0;
    if (!m_pGBPlayback || m_pGBPlayback->GetPosition(dSeconds) != S_OK) {
        return 0.0;
    }
    return dSeconds;
}

bool CAudioGraph::Seek(double dPosition, double dStopTime) {
    if (!m_pGBPlayback) {
        return false;
    }
    MediaStatus status = m_pGBPlayback->SetPosition(dPosition);
    if (dStopTime > 0.0) {
        m_pGBPlayback->Stop();
        m_pGBPlayback->SetPosition(dPosition);
        m_pGBPlayback->SetStopTime(dStopTime);
        status = m_pGBPlayback->Run();
        double dStop = 0.0;
        m_pGBPlayback->GetStopTime(dStop);
    }
    return status == S_OK;
}
