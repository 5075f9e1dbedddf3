#include "control/RadioController.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <map>
#include <utility>

#include "control/ControlTarget.h"
#include "core/RadioCore.h"
#include "core/Recorder.h"
#include "platform/clock/Clock.h"
#include "platform/profile/Profile.h"
#include "platform/text/Utf8Text.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetStore.h"
#include "schedule/NewTask.h"
#include "schedule/ScheduleBridge.h"
#include "schedule/TaskRules.h"

namespace {

// Below this a bare number is MHz: no AM channel is that low.
constexpr double kHighestMhz = 300.0;

std::string_view Trim(std::string_view text) {
    return CUtf8Text::Trim(text);
}

bool TakePrefix(std::string_view& text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t n = 0; n < prefix.size(); ++n) {
        if ((text[n] | 0x20) != (prefix[n] | 0x20)) {
            return false;
        }
    }
    text = Trim(text.substr(prefix.size()));
    return true;
}

}  // namespace

CRadioController::CRadioController(CControlTarget& target, CMessageTarget* pNotify)
    : m_target(target),
      m_masterMute(target.Core().Services().mixer),
      m_masterVolume(target.Core().Services().mixer) {
    m_masterMute.SelectLine(pNotify, 1, "");
    m_masterVolume.SelectLine(pNotify, 0, "");
}

bool CRadioController::Present() {
    return m_target.Core().DevicePresent() != 0;
}

SRadioState CRadioController::State() {
    CRadioCore& core = m_target.Core();
    SRadioState state;
    state.bPresent = Present();
    state.bMuted = m_masterMute.GetValue() != 0;
    state.nVolume = m_masterVolume.GetVolume();
    state.nBand = core.Band();
    state.nFrequency = core.CurrentFrequency();
    const SPresetView presets = PresetView(state.nBand, state.nFrequency);
    state.nSlot = presets.nSlot;
    state.strTitle = presets.strTitle;
    state.strChannelText = core.ChannelText();
    if (state.bPresent) {
        const SReceiverReading reading = core.Reading();
        state.strStation = reading.strStation;
        state.strRadioText = reading.strRadioText;
    }
    state.bHasPresets = presets.bHasPresets;
    state.bRecording = m_target.Recorder().IsRecording();
    state.strRecordFile = core.RecordFile();
    state.nRecordedSeconds = state.bRecording || !state.strRecordFile.empty()
                                 ? static_cast<std::int64_t>(core.RecordedSeconds())
                                 : 0;
    return state;
}

CRadioController::SPresetView CRadioController::PresetView(int nBand, unsigned nFrequency) const {
    const CPresetStore presets(m_target.Core().Profile());
    SPresetView view;
    view.nSlot = presets.FindSlot(nBand, nFrequency);
    if (view.nSlot >= 0) {
        view.strTitle = presets.ReadSlot(nBand, view.nSlot).strTitle;
    }
    for (int n = 0; n < CPresetStore::kSlots && !view.bHasPresets; ++n) {
        view.bHasPresets = presets.ReadValue(nBand, n) != 0;
    }
    return view;
}

CRadioController::EResult CRadioController::Next() {
    return Step(1);
}

CRadioController::EResult CRadioController::Previous() {
    return Step(-1);
}

// From the slot of the current frequency, or from before the first slot
// (after the last going back) when no slot holds it.
CRadioController::EResult CRadioController::Step(int nDirection) {
    if (!Present()) {
        return EResult::ReceiverAbsent;
    }
    CRadioCore& core = m_target.Core();
    const CPresetStore presets(core.Profile());
    const int nBand = core.Band();
    int nSlot = presets.FindSlot(nBand, core.CurrentFrequency());
    if (nSlot < 0) {
        nSlot = nDirection > 0 ? -1 : CPresetStore::kSlots;
    }
    for (int n = 1; n <= CPresetStore::kSlots; ++n) {
        const int nNext = ((nSlot + nDirection * n) % CPresetStore::kSlots + CPresetStore::kSlots) %
                          CPresetStore::kSlots;
        if (presets.ReadValue(nBand, nNext) != 0) {
            m_target.Recall(presets.ReadEntry(nBand, nNext));
            return EResult::Done;
        }
    }
    return EResult::Refused;  // the band has no presets
}

CRadioController::EResult CRadioController::SetMuted(bool bMuted) {
    if (m_masterMute.Selection() < 0) {
        return EResult::Refused;  // no mute control on this sound card
    }
    return m_masterMute.SetMute(bMuted ? 1 : 0) ? EResult::Done : EResult::Refused;
}

void CRadioController::ToggleMute() {
    SetMuted(m_masterMute.GetValue() == 0);
}

void CRadioController::SetVolume(std::uint32_t nVolume) {
    m_masterVolume.SetVolume(std::min<std::uint32_t>(nVolume, 0xFFFF));
}

std::optional<CRadioController::SFrequency> CRadioController::ParseFrequency(std::string_view text,
                                                                             std::string& strWhy) {
    std::string_view rest = Trim(text);
    std::optional<int> band;
    if (TakePrefix(rest, "FM")) {
        band = 1;
    } else if (TakePrefix(rest, "AM")) {
        band = 0;
    }
    double value = 0;
    const auto [pEnd, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    std::string_view unit =
        Trim(std::string_view(pEnd, static_cast<size_t>(rest.data() + rest.size() - pEnd)));
    if (error != std::errc() || !std::isfinite(value) || value <= 0) {
        strWhy = "not a frequency: \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    if (TakePrefix(unit, "MHz")) {
        band = band.value_or(1);
    } else if (TakePrefix(unit, "kHz")) {
        band = band.value_or(0);
    }
    if (!unit.empty()) {
        strWhy = "not a frequency: \"" + std::string(text) + "\"";
        return std::nullopt;
    }
    const bool bPoint = rest.find('.') != std::string_view::npos;
    const int nBand = band.value_or(bPoint || value < kHighestMhz ? 1 : 0);
    SFrequency frequency;
    frequency.nBand = nBand;
    frequency.nFrequency =
        static_cast<unsigned>(nBand == 1 ? std::lround(value * 100.0) : std::lround(value));
    return frequency;
}

CRadioController::EResult CRadioController::Tune(std::string_view text, std::string& strWhy) {
    const std::optional<SFrequency> frequency = ParseFrequency(text, strWhy);
    if (!frequency) {
        return EResult::BadValue;
    }
    if (!Present()) {
        strWhy = "the receiver is not plugged in";
        return EResult::ReceiverAbsent;
    }
    const CRadioCore& core = m_target.Core();
    const unsigned nLower = core.Steps(frequency->nBand).Lower();
    const unsigned nUpper = core.Steps(frequency->nBand).Upper();
    if (frequency->nFrequency < nLower || frequency->nFrequency > nUpper) {
        strWhy = "\"" + std::string(text) + "\" lies outside the band (" +
                 CPresetStore::ListText(frequency->nBand, nLower) + " to " +
                 CPresetStore::ListText(frequency->nBand, nUpper) + ")";
        return EResult::BadValue;
    }
    if (core.Band() != frequency->nBand) {
        m_target.SetBand(frequency->nBand);
    }
    m_target.Tune(frequency->nFrequency);
    return EResult::Done;
}

CRadioController::EResult CRadioController::RecallPreset(int nSlot, std::string& strWhy,
                                                         std::string& strNote) {
    if (nSlot < 0 || nSlot >= CPresetStore::kSlots) {
        strWhy = "a preset number is 0 to 99";
        return EResult::BadValue;
    }
    if (!Present()) {
        strWhy = "the receiver is not plugged in";
        return EResult::ReceiverAbsent;
    }
    CRadioCore& core = m_target.Core();
    const CPresetStore presets(core.Profile());
    const int nBand = core.Band();
    if (presets.ReadValue(nBand, nSlot) == 0) {
        strWhy = "preset " + std::to_string(nSlot) + " of " + CPresetStore::ModelText(nBand) +
                 " is empty";
        return EResult::Refused;
    }
    const PresetEntry entry = presets.ReadEntry(nBand, nSlot);
    m_target.Recall(entry);
    const unsigned nTuned = core.CurrentFrequency();
    strNote.clear();
    if (nTuned != entry.nFrequency) {
        strNote = "preset " + std::to_string(nSlot) + " holds " +
                  CFileListSet::FormatChannel(nBand, entry.nFrequency) +
                  ", outside the band of the region; tuned " +
                  CFileListSet::FormatChannel(nBand, nTuned) + " instead";
    }
    return EResult::Done;
}

CRadioController::EResult CRadioController::Seek(bool bUp) {
    if (!Present()) {
        return EResult::ReceiverAbsent;
    }
    m_target.Seek(bUp ? CReceiver::SEEK_UP : CReceiver::SEEK_DOWN);
    return EResult::Done;
}

bool CRadioController::IsSeeking() {
    return m_target.Core().IsSeeking();
}

CRadioController::EResult CRadioController::StartScan(int nBand, std::string& strWhy) {
    if (!Present()) {
        strWhy = "the receiver is not plugged in";
        return EResult::ReceiverAbsent;
    }
    CRadioCore& core = m_target.Core();
    if (nBand < 0) {
        nBand = core.Band();
    }
    if (!core.HasBand(nBand)) {
        strWhy = "the receiver has no such band";
        return EResult::BadValue;
    }
    if (m_target.Recorder().IsRecording()) {
        strWhy = "a recording is running: a scan would retune it";
        return EResult::Refused;
    }
    // A new watch: a scan this one ended reports into its own.
    m_pScanWatch = std::make_shared<SScanWatch>();
    std::weak_ptr<SScanWatch> watch = m_pScanWatch;
    const auto onProgress = [watch](const SScanProgress& progress) {
        if (auto pWatch = watch.lock()) {
            std::lock_guard lock(pWatch->mutex);
            pWatch->progress = progress;
        }
    };
    const auto onEnd = [watch](bool bCancelled) {
        if (auto pWatch = watch.lock()) {
            std::lock_guard lock(pWatch->mutex);
            pWatch->bCancelled = bCancelled;
            pWatch->bEnded = true;
        }
    };
    m_nScan = core.StartScan(nBand, onProgress, onEnd);
    if (m_nScan == 0) {
        strWhy = "the receiver cannot scan now";
        return EResult::Refused;
    }
    return EResult::Done;
}

bool CRadioController::IsScanning() {
    std::lock_guard lock(m_pScanWatch->mutex);
    return m_nScan != 0 && !m_pScanWatch->bEnded;
}

SScanProgress CRadioController::ScanProgress() const {
    std::lock_guard lock(m_pScanWatch->mutex);
    return m_pScanWatch->progress;
}

void CRadioController::CancelScan() {
    m_target.Core().CancelScan(m_nScan);
}

CRadioController::SScanResult CRadioController::FinishScan(
    std::optional<CScanPlacement::EMode> store, int nPage) {
    CRadioCore& core = m_target.Core();
    SScanResult result;
    result.nBand = core.Band();
    result.stations = core.FinishScan(std::exchange(m_nScan, 0));
    {
        std::lock_guard lock(m_pScanWatch->mutex);
        result.bCancelled = m_pScanWatch->bCancelled;
    }
    if (!store || result.bCancelled) {
        return result;
    }
    CPresetStore presets(core.Profile());
    result.stored = CScanPlacement::Plan(presets, result.nBand, result.stations, *store, nPage);
    result.bStoreFailed = !ApplyPresetChanges(presets, result.stored);
    PresetsChanged();
    return result;
}

void CRadioController::PresetsChanged() {
    CRadioCore& core = m_target.Core();
    if (CMessageTarget* pWindow = core.MainWindow()) {
        pWindow->Post(WM_PRESETS_CHANGED, 0, 0);
    } else {
        core.NotifyChanged();
    }
}

CRadioController::EResult CRadioController::StartRecording(std::int64_t nSeconds,
                                                           std::string& strWhy) {
    if (!Present()) {
        strWhy = "the receiver is not plugged in";
        return EResult::ReceiverAbsent;
    }
    if (m_target.Recorder().IsRecording()) {
        strWhy = "a recording is running already";
        return EResult::Refused;
    }
    if (!m_target.StartRecording()) {
        CRadioCore& core = m_target.Core();
        strWhy = core.Message(core.StartFailureKey());
        return EResult::Refused;
    }
    m_stopAt.reset();
    if (nSeconds > 0) {
        // To the millisecond: a calendar second would cut up to one short.
        m_stopAt = m_target.Core().Services().clock.Uptime() + std::chrono::seconds(nSeconds);
    }
    return EResult::Done;
}

CRadioController::EResult CRadioController::StopRecording() {
    m_stopAt.reset();
    if (!m_target.Recorder().IsRecording()) {
        return EResult::Refused;
    }
    m_target.StopRecording();
    return EResult::Done;
}

void CRadioController::Tick() {
    if (!m_stopAt) {
        return;
    }
    if (!m_target.Recorder().IsRecording()) {
        m_stopAt.reset();  // stopped by hand or by its task meanwhile
        return;
    }
    if (m_target.Core().Services().clock.Uptime() >= *m_stopAt) {
        StopRecording();
    }
}

bool CRadioController::Tasks(std::vector<STaskInfo>& tasks, std::string& strWhy) {
    CTaskSet& table = m_target.Core().TaskSet();
    table.m_strFilter.clear();
    table.m_strSort = "BeginTime";
    if (!table.Requery()) {
        strWhy = "the scheduled recordings cannot be read from the data source";
        return false;
    }
    tasks.clear();
    std::map<int, STaskRule> rules = CTaskRules(m_target.Core().Services().database).All();
    for (; !table.IsEOF(); table.MoveNext()) {
        // Read as a scheduled start reads it.
        const CChannelWord word(CTaskSet::ChannelWord(table.m_Channel));
        STaskInfo task;
        task.nId = table.m_ID;
        task.begin = table.m_BeginTime;
        task.end = table.m_EndTime;
        task.nBand = word.Band();
        task.nFrequency = word.TaskFrequency();
        task.bMute = word.Mute();
        task.strChannelText = CPresetStore::ModelText(task.nBand) + " " +
                              CPresetStore::ListText(task.nBand, task.nFrequency);
        task.strMemo = table.m_Memo;
        if (const auto found = rules.find(task.nId); found != rules.end()) {
            task.rule = found->second;
        }
        tasks.push_back(std::move(task));
    }
    return true;
}

std::optional<std::time_t> CRadioController::ParseTime(std::string_view text, std::string& strWhy) {
    const std::string strText(Trim(text));
    strWhy = "a time is written as 2026-12-24 18:00, not \"" + strText + "\"";
    text = Trim(text);
    int nYear = 0;
    int nMonth = 0;
    int nDay = 0;
    int nHour = 0;
    int nMinute = 0;
    const auto number = [&text](int& nValue, size_t nDigits, char cAfter) {
        if (text.size() < nDigits) {
            return false;
        }
        const auto [pEnd, error] = std::from_chars(text.data(), text.data() + nDigits, nValue);
        if (error != std::errc() || pEnd != text.data() + nDigits) {
            return false;
        }
        text.remove_prefix(nDigits);
        if (cAfter == 0) {
            return true;
        }
        if (text.empty() || (text.front() != cAfter && !(cAfter == ' ' && text.front() == 'T'))) {
            return false;
        }
        text.remove_prefix(1);
        return true;
    };
    if (!number(nYear, 4, '-') || !number(nMonth, 2, '-') || !number(nDay, 2, ' ') ||
        !number(nHour, 2, ':') || !number(nMinute, 2, 0)) {
        return std::nullopt;
    }
    int nSecond = 0;
    if (!text.empty() && (text.front() != ':' || (text.remove_prefix(1), !number(nSecond, 2, 0)))) {
        return std::nullopt;
    }
    if (!text.empty() || nMonth < 1 || nMonth > 12 || nDay < 1 || nDay > 31 || nHour > 23 ||
        nMinute > 59 || nSecond > 59) {
        return std::nullopt;
    }
    std::tm local{};
    local.tm_year = nYear - 1900;
    local.tm_mon = nMonth - 1;
    local.tm_mday = nDay;
    local.tm_hour = nHour;
    local.tm_min = nMinute;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    // 30 February comes back as a day of March.
    if (when == static_cast<std::time_t>(-1) || local.tm_mday != nDay) {
        strWhy = "the date " + strText.substr(0, 10) + " does not exist";
        return std::nullopt;
    }
    // A time in the hour the clocks skip comes back an hour later.
    if (local.tm_hour != nHour || local.tm_min != nMinute) {
        strWhy = "the time " + strText + " does not exist here: the clocks skip it";
        return std::nullopt;
    }
    strWhy.clear();
    return when;
}

CRadioController::EResult CRadioController::AddTask(std::string_view begin, std::string_view end,
                                                    std::string_view channel,
                                                    const std::string& strMemo, int& nId,
                                                    std::string& strWhy) {
    return AddTask(begin, end, channel, strMemo, SRepeat{}, nId, strWhy);
}

std::optional<STaskRule> CRadioController::ParseRepeat(const SRepeat& repeat, std::string& strWhy) {
    STaskRule rule;
    if (!repeat.strRepeat.empty() && !rule.ParseRepeat(repeat.strRepeat, strWhy)) {
        return std::nullopt;
    }
    if (!repeat.strUntil.empty()) {
        const std::optional<std::time_t> until = ParseTime(repeat.strUntil + " 23:59:59", strWhy);
        if (!until) {
            strWhy = "the last day is written as 2027-03-31, not \"" + repeat.strUntil + "\"";
            return std::nullopt;
        }
        rule.until = *until;
    }
    const auto minutes = [&strWhy](int nMinutes, const char* pWhich) {
        if (nMinutes >= 0 && nMinutes <= STaskRule::kMaxPadMinutes) {
            return true;
        }
        strWhy = std::string("the minutes ") + pWhich + " run from 0 to " +
                 std::to_string(STaskRule::kMaxPadMinutes);
        return false;
    };
    if (repeat.nTimes < 0) {
        strWhy = "the number of times cannot be negative";
        return std::nullopt;
    }
    if (!minutes(repeat.nPadBefore, "before") || !minutes(repeat.nPadAfter, "after")) {
        return std::nullopt;
    }
    if (repeat.nKeepLast < 0 || repeat.nKeepDays < 0 || repeat.nKeepLast > STaskRule::kMaxKeep ||
        repeat.nKeepDays > STaskRule::kMaxKeep) {
        strWhy = "the recordings kept run from 0 (all) to " + std::to_string(STaskRule::kMaxKeep);
        return std::nullopt;
    }
    rule.nTimes = repeat.nTimes;
    rule.nPadBefore = repeat.nPadBefore;
    rule.nPadAfter = repeat.nPadAfter;
    rule.nKeepLast = repeat.nKeepLast;
    rule.nKeepDays = repeat.nKeepDays;
    strWhy.clear();
    return rule;
}

CRadioController::EResult CRadioController::AddTask(std::string_view begin, std::string_view end,
                                                    std::string_view channel,
                                                    const std::string& strMemo,
                                                    const SRepeat& repeat, int& nId,
                                                    std::string& strWhy) {
    nId = 0;
    const std::optional<STaskRule> rule = ParseRepeat(repeat, strWhy);
    if (!rule) {
        return EResult::BadValue;
    }
    const std::optional<std::time_t> beginTime = ParseTime(begin, strWhy);
    if (!beginTime) {
        return EResult::BadValue;
    }
    const std::optional<std::time_t> endTime = ParseTime(end, strWhy);
    if (!endTime) {
        return EResult::BadValue;
    }
    const std::optional<SFrequency> frequency = ParseFrequency(channel, strWhy);
    if (!frequency) {
        return EResult::BadValue;
    }
    CNewTask::SEntry entry;
    entry.begin = *beginTime;
    entry.end = *endTime;
    entry.nBand = frequency->nBand;
    entry.strFrequency = CPresetStore::FrequencyNumber(frequency->nBand, frequency->nFrequency);
    entry.strMemo = strMemo;
    entry.rule = *rule;
    CRadioCore& core = m_target.Core();
    // What at says goes to standard error: standard output is the caller's.
    CScheduleBridge bridge(core.Services().scheduler, std::cerr, std::cerr);
    CNewTask task(core.TaskSet(), bridge, core.NewTaskContext());
    switch (task.Add(entry)) {
        case CNewTask::EResult::Stored:
            nId = task.StoredTask();
            return EResult::Done;
        case CNewTask::EResult::RowKept:
            nId = task.StoredTask();
            strWhy = task.ErrorText();
            return EResult::Refused;
        case CNewTask::EResult::Refused:
            break;
    }
    strWhy = task.ErrorText();
    return EResult::Refused;
}
