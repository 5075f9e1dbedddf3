#include "core/RadioCore.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <filesystem>
#include <system_error>

#include "platform/audio/AudioFeed.h"
#include "platform/clock/Clock.h"
#include "platform/db/DBException.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/mixer/MixerServices.h"
#include "platform/mixer/MixerTypes.h"
#include "platform/names/KestrelNames.h"
#include "platform/profile/Profile.h"
#include "platform/text/Utf8Text.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "receiver/ReceiverFactory.h"
#include "record/RecordName.h"
#include "schedule/DataSourceId.h"
#include "schedule/TaskRecordings.h"

namespace {

constexpr const char* kTag = "core";
using KestrelNames::kPinTypeMicrophone;
constexpr int kTargetMicrophoneMute = 6;
constexpr int kTargetLineMute = 7;
constexpr size_t kMaxNameCharacters = 255;
constexpr size_t kMaxCatalogueText = 255;  // FileList.FileName
constexpr const char* kRecordFail = "MESSAGE_13";
constexpr const char* kRecordFolderRefused = "MESSAGE_16";
constexpr const char* kDiskFullAtStart = "MESSAGE_22";

// "线路", the word for line that Chinese sound cards give their line input.
constexpr const char* kChineseLine = "\xE7\xBA\xBF\xE8\xB7\xAF";

bool IsLinePinName(std::string strName) {
    std::transform(strName.begin(), strName.end(), strName.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return strName.find("LINE") != std::string::npos ||
           strName.find(kChineseLine) != std::string::npos ||
           strName.find("RECORD") != std::string::npos;
}

// Read once: the deeper parts are handed this folder, never the process's.
std::string CurrentFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::current_path(error);
    if (error) {
        KestrelTrace("language", "No current directory (%s)", error.message().c_str());
        return {};
    }
    return folder.string();
}

}  // namespace

CRadioCore::CRadioCore(const SRadioServices& services, CProfile& profile)
    : m_services(services),
      m_profile(profile),
      m_inputMute(services.mixer),
      m_strStartFolder(CurrentFolder()),
      m_language(CLanguageTexts::FilePath(m_strStartFolder)),
      m_texts(m_language, profile),
      m_displayRelay(*this),
      m_pReceiver(services.receivers.Create(profile, services.clock)),
      m_taskSet(services.database),
      m_fileListSet(services.database),
      m_audioGraph(services.media, services.messageBoxes) {
    m_strLanguage = LoadLanguageName();
    m_audioGraph.SetTextProvider(
        [this](std::string_view key) { return m_texts.RecordingMessage(key); });
    m_pReceiver->SetDisplay(&m_displayRelay);
}

// The members go in reverse order; a seek still walking the band is ended
// first, while the window it sends to still answers.
CRadioCore::~CRadioCore() {
    m_pScan.reset();
    m_pReceiver->JoinSeek();
}

void CRadioCore::Init(CMessageTarget* pMainWnd, unsigned nParts) {
    m_pMainWnd = pMainWnd;  // first, so that the boxes below have their owner
    if (nParts & kTables) {
        OpenTable(m_fileListSet, "select * from FileList");
        OpenTable(m_taskSet, "select * from Task");
    }
    if (nParts & kMedia) {
        OpenMedia(pMainWnd);
    }
    if (nParts & kReceiver) {
        CheckDevice();
    }
}

// A receiver with its own audio records from its feed: the sound card's
// capture devices and inputs are none of its business.
void CRadioCore::OpenMedia(CMessageTarget* pMainWnd) {
    if (BringsOwnAudio()) {
        m_audioGraph.Open(pMainWnd);
        return;
    }
    const CSettings settings = Settings();
    std::string strDeviceName = settings.DeviceName();
    std::string strPinName = settings.PinName();
    if (m_audioGraph.DeviceCount() == 0) {
        ShowMessage("MESSAGE_6");
        return;
    }
    if (strDeviceName.empty()) {
        m_audioGraph.SetDeviceIndex(0);
        strDeviceName = m_audioGraph.DeviceListEntry(0);
    }
    if (strPinName.empty()) {
        ChooseDefaultPin(strPinName);
    }
    m_audioGraph.SetDeviceName(CUtf8Text::Cut(strDeviceName, kMaxNameCharacters));
    m_audioGraph.SetPinName(CUtf8Text::Cut(strPinName, kMaxNameCharacters));
    m_audioGraph.Open(pMainWnd);
}

// Some database layers raise where others return failure; the user sees the
// same box either way, and the program goes on without the table.
void CRadioCore::OpenTable(CRecordset& table, const std::string& strSQL) {
    bool bOpen = false;
    try {
        bOpen = table.Open(strSQL);
    } catch (const std::exception& error) {
        KestrelTrace(kTag, "opening \"%s\" raised: %s", strSQL.c_str(), error.what());
    }
    if (!bOpen) {
        KestrelTrace(kTag, "\"%s\" failed: %s", strSQL.c_str(), table.GetLastError().c_str());
        ShowMessage("MESSAGE_5");
    }
}

void CRadioCore::ShowMessage(const std::string& strKey) {
    m_services.messageBoxes.Show(m_pMainWnd, m_texts.GetMessage(m_strLanguage, strKey), kCaption,
                                 CMessageBoxes::EIcon::Error);
}

void CRadioCore::ChooseDefaultPin(std::string& strPinName) {
    m_audioGraph.CreateCaptureGraph();
    m_audioGraph.OpenDevice(m_audioGraph.DeviceIndex());
    int nChosen = 0;
    for (int n = 0; n < m_audioGraph.PinCount(); ++n) {
        if (IsLinePinName(m_audioGraph.PinListEntry(n))) {
            nChosen = n;
            break;
        }
    }
    strPinName = m_audioGraph.PinListEntry(nChosen);
    m_audioGraph.SetPinIndex(nChosen);
    m_audioGraph.ReleaseCaptureGraph();
}

int CRadioCore::CheckDevice() {
    const int nBefore = m_nDevicePresent;
    const int nCount = m_pReceiver->CountDevices();
    if (nCount > 0 && m_nDevicePresent == 0) {
        m_nDevicePresent = m_pReceiver->Open(m_pMainWnd) ? 1 : 0;
    } else if (nCount == 0 && m_nDevicePresent == 1) {
        m_nDevicePresent = 0;
        m_pReceiver->Close();
    }
    if (m_nDevicePresent != nBefore) {
        Announce();
    }
    return m_nDevicePresent;
}

void CRadioCore::CloseReceiver() {
    if (m_nDevicePresent == 0) {
        return;
    }
    StopTuningWork();
    m_pReceiver->Close();
    m_nDevicePresent = 0;
    Announce();
}

void CRadioCore::OpenRadio() {
    m_pReceiver->SetBand(Settings().LastBand() == 0 ? CReceiver::BAND_AM : CReceiver::BAND_FM);
    m_pReceiver->LoadBandPlan();
}

std::optional<PresetEntry> CRadioCore::SelectBand(int nBand) {
    StopTuningWork();
    m_pReceiver->SetBand(nBand);
    Settings().SetLastBand(nBand);
    return SyncPreset();
}

// The preset sync of the folded frequency: its slot recalled, or the
// frequency tuned as it is.
std::optional<PresetEntry> CRadioCore::TuneTo(unsigned nFrequency) {
    StopTuningWork();
    const int nBand = m_pReceiver->Band();
    const unsigned nFolded = m_pReceiver->Steps(nBand).Wrap(nFrequency);
    CPresetStore presets(m_profile);
    const int nSlot = presets.FindSlot(nBand, nFolded);
    if (nSlot < 0) {
        m_pReceiver->Tune(nFolded);
        Announce();
        return std::nullopt;
    }
    PresetEntry entry = presets.ReadEntry(nBand, nSlot);
    Recall(entry);
    return entry;
}

// A seek still walking would step the frequency this computes from.
std::optional<PresetEntry> CRadioCore::StepChannel(bool bUp) {
    StopTuningWork();
    return TuneTo(Steps().ChannelStep(CurrentFrequency(), bUp));
}

std::optional<PresetEntry> CRadioCore::FineStep(bool bUp) {
    StopTuningWork();
    return TuneTo(Steps().FineStep(CurrentFrequency(), bUp));
}

std::optional<PresetEntry> CRadioCore::TuneChannel(CChannelWord word) {
    StopTuningWork();
    m_pReceiver->SetBand(word.Band() == CChannelWord::BAND_FM ? CReceiver::BAND_FM
                                                              : CReceiver::BAND_AM);
    m_pReceiver->Tune(word.TaskFrequency(), word.ChannelFlag());
    return SyncPreset();
}

bool CRadioCore::StartSeek(int nDirection) {
    if (m_pScan) {
        StopTuningWork();
    }
    const bool bStarted = m_pReceiver->StartSeek(nDirection);
    Announce();
    return bStarted;
}

void CRadioCore::StopTuningWork() {
    if (m_pScan) {
        m_pScan->Cancel();
        m_pScan->Wait();
        m_pScan.reset();
    }
    m_pReceiver->CancelSeek();
}

uint64_t CRadioCore::StartScan(int nBand, CBandScan::FProgress onProgress, CBandScan::FEnd onEnd) {
    if (m_nRecording != 0) {
        return 0;  // it would retune what is being recorded
    }
    StopTuningWork();
    m_scanReturn = {Band(), CurrentFrequency(), ChannelFlag()};
    if (nBand != Band() && HasBand(nBand)) {
        m_pReceiver->SetBand(nBand);
    }
    m_pScan = std::make_unique<CBandScan>(*m_pReceiver, kScanNameWait);
    if (!m_pScan->Start(std::move(onProgress), std::move(onEnd))) {
        m_pScan.reset();
        m_pReceiver->SetBand(m_scanReturn.nBand);
        return 0;
    }
    Announce();
    return ++m_nScan;
}

void CRadioCore::CancelScan(uint64_t nScan) {
    if (m_pScan && nScan == m_nScan) {
        m_pScan->Cancel();
    }
}

std::vector<SScanStation> CRadioCore::FinishScan(uint64_t nScan) {
    if (!m_pScan || nScan != m_nScan) {
        return {};
    }
    m_pScan->Wait();
    std::vector<SScanStation> stations = m_pScan->Stations();
    m_pScan.reset();
    m_pReceiver->SetBand(m_scanReturn.nBand);
    m_pReceiver->Tune(m_scanReturn.nFrequency, m_scanReturn.nChannelFlag);
    Announce();
    return stations;
}

void CRadioCore::MuteReceiver(int nMute) {
    StopTuningWork();
    m_pReceiver->SetMute(nMute);
    Announce();
}

void CRadioCore::ApplyBandPlan() {
    StopTuningWork();
    m_pReceiver->LoadBandPlan();
    m_pReceiver->Retune();
}

int CRadioCore::Band() const {
    return m_pReceiver->Band();
}

unsigned CRadioCore::Frequency(int nBand) const {
    return m_pReceiver->Frequency(nBand);
}

unsigned CRadioCore::CurrentFrequency() const {
    return m_pReceiver->Frequency(m_pReceiver->Band());
}

int CRadioCore::ChannelFlag() const {
    return m_pReceiver->ChannelFlag();
}

int CRadioCore::ReceiverMute() const {
    return m_pReceiver->Mute();
}

bool CRadioCore::IsSeeking() const {
    return m_pReceiver->IsSeeking();
}

bool CRadioCore::HasBand(int nBand) const {
    return m_pReceiver->HasBand(nBand);
}

CTuningSteps CRadioCore::Steps(int nBand) const {
    return m_pReceiver->Steps(nBand);
}

SReceiverReading CRadioCore::Reading() const {
    return m_pReceiver->Reading();
}

std::string CRadioCore::DisplayText(unsigned nFrequency) const {
    return CPresetStore::ListText(Band(), nFrequency);
}

bool CRadioCore::BringsOwnAudio() const {
    return m_pReceiver->AudioFeed() != nullptr;
}

void CRadioCore::SetFrequencyDisplay(CTextSink* pDisplay) {
    m_displayRelay.SetTarget(pDisplay);
}

void CRadioCore::JoinSeek() {
    m_pReceiver->JoinSeek();
}

CNewTask::SContext CRadioCore::NewTaskContext() {
    return {m_services.clock, m_services.database, [this](int nBand) { return Steps(nBand); },
            [this](const std::string& strKey) { return Message(strKey); }, m_strStartFolder};
}

void CRadioCore::AddListener(CMessageTarget* pListener) {
    std::lock_guard lock(m_listenerMutex);
    m_listeners.push_back(pListener);
}

void CRadioCore::RemoveListener(CMessageTarget* pListener) {
    std::lock_guard lock(m_listenerMutex);
    std::erase(m_listeners, pListener);
}

// Posted: a seek worker's tune must not wait for the listeners.
void CRadioCore::NotifyChanged() {
    std::lock_guard lock(m_listenerMutex);
    for (CMessageTarget* pListener : m_listeners) {
        pListener->Post(WM_RADIO_CHANGED, 0, 0);
    }
}

// The core's own operations run on the listeners' thread: they hear of the
// change before the operation goes on (a scheduled start's recording), with
// no lock held that a listener could need.
void CRadioCore::Announce() {
    std::vector<CMessageTarget*> listeners;
    {
        std::lock_guard lock(m_listenerMutex);
        listeners = m_listeners;
    }
    for (CMessageTarget* pListener : listeners) {
        pListener->Send(WM_RADIO_CHANGED, 0, 0);
    }
}

void CRadioCore::CDisplayRelay::SetText(const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        if (m_pTarget) {
            m_pTarget->SetText(text);
        }
    }
    m_core.NotifyChanged();
}

void CRadioCore::CDisplayRelay::SetTarget(CTextSink* pTarget) {
    std::lock_guard lock(m_mutex);
    m_pTarget = pTarget;
}

std::string CRadioCore::GetText(const std::string& strKey) const {
    return m_texts.GetText(m_strLanguage, strKey);
}

std::string CRadioCore::Message(const std::string& strKey) const {
    return m_texts.GetMessage(m_strLanguage, strKey);
}

std::string CRadioCore::LoadLanguageName() const {
    return m_texts.LoadLanguageName();
}

// A receiver with its own audio is heard through none of the card's inputs.
void CRadioCore::SelectInputMute() {
    if (BringsOwnAudio()) {
        return;
    }
    const CSettings settings = Settings();
    const std::string strDeviceName = settings.DeviceName();
    const int nPinType = settings.PinType();
    if (m_inputMute.Selection() >= 0) {
        m_inputMute.SetMute(1);
    }
    const int nTarget = nPinType == kPinTypeMicrophone ? kTargetMicrophoneMute : kTargetLineMute;
    m_inputMute.SelectLine(m_pMainWnd, nTarget, strDeviceName);
    // The receiver is heard through the sound card exactly while it is there.
    m_inputMute.SetMute(m_nDevicePresent ? 0 : 1);
}

void CRadioCore::MuteInput() {
    if (!BringsOwnAudio()) {
        m_inputMute.SetMute(1);
    }
}

bool CRadioCore::FindSpeakerInput(std::string& strDeviceName, std::string& strPortName,
                                  uint32_t& nType) {
    CMixerLine mixer(m_services.mixer);
    const uint32_t nDevices = m_services.mixer.GetNumDevs();
    for (uint32_t id = 0; id < nDevices; ++id) {
        SMixerCaps caps;
        if (!m_services.mixer.GetDevCaps(static_cast<int>(id), caps)) {
            continue;  // a device that cannot be named cannot be chosen
        }
        std::vector<std::string> names;
        std::vector<uint32_t> types;
        mixer.ListSpeakerSources(static_cast<int>(id), names, types);
        for (size_t n = 0; n < std::min(names.size(), types.size()); ++n) {
            if (types[n] == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE ||
                types[n] == MIXERLINE_COMPONENTTYPE_SRC_LINE) {
                strDeviceName = caps.strProductName;
                strPortName = names[n];
                nType = types[n];
                return true;
            }
        }
    }
    return false;
}

void CRadioCore::FindDefaultInput(std::string& strDeviceName, std::string& strPortName) {
    std::string strDevice;
    std::string strPort;
    uint32_t nType = 0;
    if (!FindSpeakerInput(strDevice, strPort, nType)) {
        return;
    }
    strDeviceName = strDevice;
    strPortName = strPort;
    CSettings settings = Settings();
    if (!settings.DeviceName().empty()) {
        return;
    }
    settings.SetInput(strDevice, strPort, static_cast<int>(nType));
}

bool CRadioCore::HasMixerInput() {
    std::string strDevice;
    std::string strPort;
    uint32_t nType = 0;
    return FindSpeakerInput(strDevice, strPort, nType);
}

std::string CRadioCore::RecordFolder() const {
    return Settings().RecordPath();
}

std::string CRadioCore::RecordFileName(std::time_t tStart, bool bWav) const {
    return RecordFileName(tStart, bWav ? ERecordFormat::Wav : ERecordFormat::Wma);
}

std::string CRadioCore::RecordFileName(std::time_t tStart, ERecordFormat eFormat) const {
    std::string strPath = RecordFolder();
    if (strPath.empty() || strPath.back() != '/') {
        strPath += '/';
    }
    CRecordName::SFields fields;
    fields.tStart = tStart;
    return strPath + CRecordName::Build({}, fields) + "." + RecordFormats::Extension(eFormat);
}

// The pattern's name, never one a file already has: two starts in one second
// (the clock set back an hour in autumn) would replace a recording.
std::string CRadioCore::PatternFileName(const std::string& strPattern,
                                        ERecordFormat eFormat) const {
    CRecordName::SFields fields;
    fields.tStart = m_tRecordStart;
    fields.strStation = m_strChannelName.empty() ? m_strChannel : m_strChannelName;
    fields.strMemo = m_strRecordMemo;
    fields.strBand = Band() == CPresetStore::BAND_FM ? "FM" : "AM";
    return CRecordName::Unused(RecordFolder(), CRecordName::Build(strPattern, fields),
                               RecordFormats::Extension(eFormat));
}

std::string CRadioCore::ChannelText() const {
    return CFileListSet::FormatChannel(Band(), CurrentFrequency());
}

const std::string& CRadioCore::DataSourceId() {
    if (!m_dataSourceId) {
        try {
            m_dataSourceId = CDataSourceId::Obtain(m_services.database);
        } catch (const CDBException& error) {
            KestrelTrace(kTag, "the data source's id cannot be read: %s",
                         error.ErrorText().c_str());
            return *(m_dataSourceId = std::string());
        }
    }
    return *m_dataSourceId;
}

std::string CRadioCore::StationName() const {
    std::string strName = PresetTitle();
    if (strName.empty() && m_nDevicePresent) {
        strName = CUtf8Text::Cut(Reading().strStation, kMaxCatalogueText);
    }
    return strName;
}

// The catalogue names a recording by its station as the keypad does.
std::string CRadioCore::PresetTitle() const {
    const CPresetStore presets(m_profile);
    const int nBand = Band();
    const int nSlot = presets.FindSlot(nBand, CurrentFrequency());
    if (nSlot < 0) {
        return {};
    }
    return CUtf8Text::Cut(presets.ReadSlot(nBand, nSlot).strTitle, kMaxCatalogueText);
}

void CRadioCore::Recall(const PresetEntry& entry) {
    StopTuningWork();
    m_pReceiver->Tune(entry.nFrequency, entry.nChannelFlag);
    Announce();
}

std::optional<PresetEntry> CRadioCore::SyncPreset() {
    CPresetStore presets(m_profile);
    const int nBand = Band();
    const int nSlot = presets.FindSlot(nBand, CurrentFrequency());
    if (nSlot < 0) {
        m_pReceiver->Retune();
        Announce();
        return std::nullopt;
    }
    PresetEntry entry = presets.ReadEntry(nBand, nSlot);
    Recall(entry);
    return entry;
}

bool CRadioCore::StartRecording() {
    m_strStartFailure = kRecordFail;
    m_tRecordStart = m_services.clock.Now();
    const CSettings settings = Settings();
    const ERecordFormat eFormat = settings.RecordFormat();
    m_strChannel = ChannelText();
    m_strChannelName = StationName();
    m_strRecordMemo = CUtf8Text::IsValid(m_strTaskMemo)
                          ? CUtf8Text::Cut(m_strTaskMemo, kMaxCatalogueText)
                          : std::string();
    m_strRecordFile = PatternFileName(settings.NamePattern(), eFormat);
    // The row names the file exactly or there is no recording: a name the
    // catalogue cannot keep would leave a file that play and delete miss.
    if (!CUtf8Text::IsValid(m_strRecordFile) ||
        CUtf8Text::CharacterCount(m_strRecordFile) > kMaxCatalogueText) {
        KestrelTrace(kTag, "the catalogue cannot name %s", m_strRecordFile.c_str());
        m_strStartFailure = kRecordFolderRefused;
        return false;
    }
    // Made with its parents; a folder that cannot be made fails the start
    // here, before the recorder is built on it.
    const std::filesystem::path folder = std::filesystem::path(m_strRecordFile).parent_path();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        KestrelTrace(kTag, "cannot make the record folder %s: %s", folder.c_str(),
                     error.message().c_str());
        return false;
    }

    m_audioGraph.ClosePlayback();
    m_audioGraph.SetRecordFile(m_strRecordFile);
    m_audioGraph.SetQuality(settings.Quality());
    if (const std::shared_ptr<CAudioFeed> pFeed = m_pReceiver->AudioFeed()) {
        m_audioGraph.SetSourceDevice(m_services.media.FeedDevice(pFeed));
    } else {
        m_audioGraph.SetSourceDevice(nullptr);
        std::string strDeviceName = settings.DeviceName();
        std::string strPinName = settings.PinName();
        if (strDeviceName.empty()) {
            FindDefaultInput(strDeviceName, strPinName);
        }
        ChooseCaptureInput(strDeviceName, strPinName);
    }
    m_audioGraph.SetRecordTags(RecordTags());
    if (!m_audioGraph.StartRecording(eFormat)) {
        if (m_audioGraph.RecordFault() == ECaptureFault::DiskFull) {
            m_strStartFailure = kDiskFullAtStart;
        }
        return false;
    }
    m_nRecording = 1;
    m_nStoppedSeconds = 0;
    Announce();
    return true;
}

void CRadioCore::ChooseCaptureInput(const std::string& strDeviceName,
                                    const std::string& strPinName) {
    if (!m_services.bVista && HasMixerInput() &&
        m_audioGraph.SelectDevice(strDeviceName, strPinName)) {
        return;
    }
    m_audioGraph.SetDeviceIndex(0);
    m_audioGraph.SetPinIndex(-1);
}

// Another player shows the station and the start, not only the file's name.
SRecordingTags CRadioCore::RecordTags() const {
    const std::string strStation = m_strChannelName.empty() ? m_strChannel : m_strChannelName;
    std::tm local{};
    localtime_r(&m_tRecordStart, &local);
    char when[32] = {};
    std::strftime(when, sizeof(when), "%Y-%m-%d %H:%M", &local);
    return {strStation + " " + when, strStation, m_strRecordMemo, m_tRecordStart};
}

void CRadioCore::StopRecording() {
    if (m_nRecording == 0) {
        return;
    }
    m_audioGraph.StopRecording();
    m_nStoppedSeconds = RecordedSeconds();
    m_nRecording = 0;
    CatalogueRecording();
    m_nScheduled = 0;
    Announce();
}

// A recording that failed is catalogued with the audio its file holds, not
// the time it was meant to run; a stopped one keeps the length it had.
std::int64_t CRadioCore::RecordedSeconds() const {
    if (m_nRecording == 0) {
        return m_nStoppedSeconds;
    }
    if (m_audioGraph.RecordFault() != ECaptureFault::None) {
        return std::llround(m_audioGraph.RecordedSeconds());
    }
    return m_services.clock.Now() - m_tRecordStart;
}

// One that left no file is not catalogued.
void CRadioCore::CatalogueRecording() {
    if (!m_audioGraph.RecordFileKept()) {
        KestrelTrace(kTag, "%s holds no audio and is not catalogued", m_strRecordFile.c_str());
        return;
    }
    const std::int64_t nSeconds = m_nStoppedSeconds;
    try {
        m_fileListSet.AddNew();
        m_fileListSet.m_BeginTime = CFileListSet::FormatBeginTime(m_tRecordStart);
        m_fileListSet.m_Duration = CFileListSet::FormatDuration(nSeconds);
        m_fileListSet.m_FileName = m_strRecordFile;
        m_fileListSet.m_Channel = m_strChannel;
        m_fileListSet.m_ChannelName = m_strChannelName;
        m_fileListSet.m_Memo = m_strRecordMemo;
        m_fileListSet.Update();
        // A task's own recordings are its retention's to count.
        if (m_nScheduled != 0 && m_nTaskNumber > 0) {
            CTaskRecordings(m_services.database)
                .Record({m_fileListSet.m_ID, m_nTaskNumber, m_tRecordStart});
        }
    } catch (const CDBException& error) {
        m_services.messageBoxes.Show(m_pMainWnd, error.ErrorText(), kCaption,
                                     CMessageBoxes::EIcon::Error);
    }
}
