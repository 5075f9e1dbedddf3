#include "app/PresetVerb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "control/ControlClient.h"
#include "control/ExitStatus.h"
#include "platform/profile/Profile.h"
#include "presets/PresetSets.h"
#include "presets/PresetStore.h"
#include "presets/exchange/PresetFile.h"
#include "presets/exchange/PresetImport.h"

namespace {

using EVerb = CCommandLine::EVerb;

QString Text(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

// A running copy's window shows the presets again; no copy, nothing to tell.
void Tell(CControlClient* pCopy) {
    if (pCopy) {
        pCopy->Call("PresetsChanged");
    }
}

}  // namespace

bool CPresetVerb::Takes(CCommandLine::EVerb eVerb) {
    return eVerb == EVerb::PresetSets || eVerb == EVerb::PresetSet ||
           eVerb == EVerb::NewPresetSet || eVerb == EVerb::ExportPresets ||
           eVerb == EVerb::ImportPresets;
}

int CPresetVerb::Fail(int nStatus, const std::string& strWhy) const {
    std::fprintf(stderr, "kestrel: %s\n", strWhy.c_str());
    return nStatus;
}

void CPresetVerb::Print(const std::string& strText) const {
    std::fprintf(stdout, "%s\n", strText.c_str());
    std::fflush(stdout);
}

void CPresetVerb::Note(const std::string& strText) const {
    std::fprintf(stderr, "kestrel: %s\n", strText.c_str());
}

int CPresetVerb::Run(CControlClient* pCopy) {
    switch (m_commandLine.Verb()) {
        case EVerb::PresetSets:
            return ListSets();
        case EVerb::PresetSet:
            return SwitchSet(pCopy);
        case EVerb::NewPresetSet:
            return AddSet();
        case EVerb::ExportPresets:
            return Export();
        case EVerb::ImportPresets:
            return Import(pCopy);
        default:
            break;
    }
    return KestrelExit::kUsage;
}

int CPresetVerb::ListSets() const {
    const CPresetSets sets(m_profile);
    QJsonArray names;
    for (const std::string& strName : sets.Names()) {
        names.append(Text(strName));
    }
    QJsonObject json;
    json.insert(QStringLiteral("current"), Text(sets.Current()));
    json.insert(QStringLiteral("sets"), names);
    Print(QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString());
    return KestrelExit::kOk;
}

int CPresetVerb::SwitchSet(CControlClient* pCopy) const {
    CPresetSets sets(m_profile);
    std::string strWhy;
    if (!sets.Switch(m_commandLine.VerbValue(), strWhy)) {
        return Fail(sets.IndexOf(m_commandLine.VerbValue()) < 0 ? KestrelExit::kRefused
                                                                : KestrelExit::kFailed,
                    strWhy);
    }
    Tell(pCopy);
    Print(sets.Current());
    return KestrelExit::kOk;
}

int CPresetVerb::AddSet() const {
    CPresetSets sets(m_profile);
    std::string strWhy;
    if (!sets.Add(m_commandLine.VerbValue(), strWhy)) {
        return Fail(KestrelExit::kRefused, strWhy);
    }
    Print(CPresetSets::CleanName(m_commandLine.VerbValue(), strWhy));
    return KestrelExit::kOk;
}

int CPresetVerb::Export() const {
    const std::string& strPath = m_commandLine.VerbValue();
    const CPresetFile::EFormat eFormat = CPresetFile::FormatNamed(m_commandLine.PresetFormat())
                                             .value_or(CPresetFile::FormatOf(strPath));
    const CPresetStore store(m_profile);
    const SPresetDocument document =
        CPresetFile::FromStore(store, CPresetSets(m_profile).Current());
    std::string strWhy;
    if (!CPresetFile::Save(strPath, CPresetFile::Write(eFormat, document), strWhy)) {
        return Fail(KestrelExit::kFailed, strWhy);
    }
    Print(std::to_string(document.rows.size()) + " presets written to " + strPath + " (" +
          CPresetFile::FormatName(eFormat) + ")");
    return KestrelExit::kOk;
}

int CPresetVerb::Import(CControlClient* pCopy) const {
    const std::string& strPath = m_commandLine.VerbValue();
    std::string strWhy;
    const std::optional<std::string> bytes = CPresetFile::Load(strPath, strWhy);
    if (!bytes) {
        return Fail(KestrelExit::kFailed, strWhy);
    }
    const CPresetFile::EFormat eFormat = CPresetFile::FormatNamed(m_commandLine.PresetFormat())
                                             .value_or(CPresetFile::FormatOf(strPath, *bytes));
    const SPresetRead read = CPresetFile::Read(eFormat, *bytes);
    for (const std::string& strNote : read.notes) {
        Note(strPath + ": " + strNote);
    }
    if (!read.document) {
        return Fail(KestrelExit::kFailed, strPath + ": " + read.strError + ": nothing imported");
    }
    CPresetStore store(m_profile);
    const auto eMode =
        CScanPlacement::ParseMode(m_commandLine.Store()).value_or(CScanPlacement::EMode::FreeSlots);
    const std::vector<SPresetChange> changes = CPresetImport::Plan(store, *read.document, eMode);
    for (const SPresetChange& change : changes) {
        Print(CPresetStore::ModelText(change.nBand) + " " + CPresetImport::Describe(change));
    }
    if (!m_commandLine.Confirmed()) {
        Note(std::to_string(changes.size()) +
             " presets would change; nothing changed yet: " + "--yes imports the file");
        return KestrelExit::kOk;
    }
    if (!ApplyPresetChanges(store, changes)) {
        return Fail(KestrelExit::kFailed, "the profile cannot be written: nothing imported");
    }
    Tell(pCopy);
    Note(std::to_string(changes.size()) + " presets changed");
    return KestrelExit::kOk;
}
