#include "presets/exchange/PresetFile.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/UniqueFd.h"
#include "presets/ChannelWord.h"
#include "presets/PresetStore.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;
constexpr const char* kJsonFormat = "kestrel-presets";
constexpr const char* kCsvHeader = "frequency,band,title,flag";
// What every band plan Kestrel knows spans: FM 76-108 MHz, AM 520-1710 kHz.
constexpr unsigned kFmLowest = 7600;
constexpr unsigned kFmHighest = 10800;
constexpr unsigned kAmLowest = 520;
constexpr unsigned kAmHighest = 1710;
constexpr const char* kGqrxTag = "Untagged";

std::string LineText(size_t nLine) {
    return "line " + std::to_string(nLine);
}

// 1-based line of a byte offset.
size_t LineOf(std::string_view bytes, size_t nOffset) {
    nOffset = std::min(nOffset, bytes.size());
    return static_cast<size_t>(
               std::count(bytes.begin(), bytes.begin() + static_cast<long>(nOffset), '\n')) +
           1;
}

// The offset of the first byte that is not part of well-formed UTF-8; none
// when all of it is.
std::optional<size_t> BadUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t nMore = 0;
        unsigned nMin = 0;
        if ((c & 0xE0) == 0xC0) {
            nMore = 1;
            nMin = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            nMore = 2;
            nMin = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            nMore = 3;
            nMin = 0x10000;
        } else {
            return i;
        }
        if (i + nMore >= bytes.size()) {
            return i;  // cut short
        }
        unsigned nCode = c & (0x3Fu >> nMore);
        for (size_t k = 1; k <= nMore; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return i;
            }
            nCode = (nCode << 6) | (next & 0x3Fu);
        }
        if (nCode < nMin || nCode > 0x10FFFF || (nCode >= 0xD800 && nCode <= 0xDFFF)) {
            return i;
        }
        i += nMore + 1;
    }
    return std::nullopt;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> Lines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const size_t nEnd = bytes.find('\n');
        lines.push_back(bytes.substr(0, nEnd));
        if (nEnd == std::string_view::npos) {
            break;
        }
        bytes.remove_prefix(nEnd + 1);
    }
    return lines;
}

bool LooksLikeFormula(std::string_view text) {
    return !text.empty() && (text.front() == '=' || text.front() == '+' || text.front() == '-' ||
                             text.front() == '@');
}

// Cut at a character's start, never inside one.
std::string CutUtf8(std::string text, size_t nMax) {
    if (text.size() <= nMax) {
        return text;
    }
    size_t nEnd = nMax;
    while (nEnd > 0 && (static_cast<unsigned char>(text[nEnd]) & 0xC0) == 0x80) {
        --nEnd;
    }
    text.resize(nEnd);
    return text;
}

// A title as a preset may hold it: one line without control characters,
// trimmed, at most kMaxTitleBytes; a note says what changed.
std::string CleanTitle(std::string_view title, size_t nLine, bool bCsv,
                       std::vector<std::string>& notes) {
    std::string clean;
    bool bControls = false;
    for (char c : title) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            bControls = true;
            continue;
        }
        clean += c;
    }
    if (bControls) {
        notes.push_back(LineText(nLine) + ": control characters left out of the title");
    }
    clean = std::string(Trimmed(clean));
    if (bCsv && clean.size() > 1 && clean.front() == '\'' && LooksLikeFormula(clean.substr(1))) {
        clean.erase(0, 1);  // Kestrel's own guard on export
    } else if (bCsv && LooksLikeFormula(clean)) {
        const size_t nKeep = clean.find_first_not_of("=+-@");
        notes.push_back(LineText(nLine) + ": the title \"" + clean +
                        "\" would run as a spreadsheet formula: its leading signs are left out");
        clean =
            nKeep == std::string::npos ? std::string() : std::string(Trimmed(clean.substr(nKeep)));
    }
    if (clean.size() > CPresetFile::kMaxTitleBytes) {
        notes.push_back(LineText(nLine) + ": the title is cut to " +
                        std::to_string(CPresetFile::kMaxTitleBytes) + " bytes");
        clean = CutUtf8(std::move(clean), CPresetFile::kMaxTitleBytes);
    }
    return clean;
}

std::optional<double> Number(std::string_view text) {
    text = Trimmed(text);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string FrequencyText(int nBand, unsigned nFrequency) {
    return CPresetStore::ModelText(nBand) + " " + CPresetStore::ListText(nBand, nFrequency);
}

bool InBand(int nBand, unsigned nFrequency) {
    return nBand == FM ? nFrequency >= kFmLowest && nFrequency <= kFmHighest
                       : nFrequency >= kAmLowest && nFrequency <= kAmHighest;
}

// Rows checked together: inside the bands, each frequency and slot once.
class CRowCheck {
public:
    explicit CRowCheck(std::vector<std::string>& notes) : m_notes(notes) {}

    bool Take(const SPresetRow& row) {
        if (!InBand(row.nBand, row.nFrequency)) {
            m_notes.push_back(LineText(row.nLine) + ": " +
                              FrequencyText(row.nBand, row.nFrequency) +
                              " lies outside the FM and AM bands: left out");
            return false;
        }
        const auto frequency = std::make_pair(row.nBand, row.nFrequency);
        if (auto it = m_frequencies.find(frequency); it != m_frequencies.end()) {
            m_notes.push_back(LineText(row.nLine) + ": " +
                              FrequencyText(row.nBand, row.nFrequency) + " is there already (" +
                              LineText(it->second) + "): left out");
            return false;
        }
        if (row.nSlot >= 0) {
            const auto slot = std::make_pair(row.nBand, row.nSlot);
            if (auto it = m_slots.find(slot); it != m_slots.end()) {
                m_notes.push_back(LineText(row.nLine) + ": slot " + std::to_string(row.nSlot) +
                                  " is taken already (" + LineText(it->second) + "): left out");
                return false;
            }
            m_slots.emplace(slot, row.nLine);
        }
        m_frequencies.emplace(frequency, row.nLine);
        return true;
    }

private:
    std::vector<std::string>& m_notes;
    std::map<std::pair<int, unsigned>, size_t> m_frequencies;
    std::map<std::pair<int, int>, size_t> m_slots;
};

SPresetRead Refused(std::string strError) {
    SPresetRead read;
    read.strError = std::move(strError);
    return read;
}

// JSON ------------------------------------------------------------------------

std::string WriteJson(const SPresetDocument& document) {
    QJsonArray presets;
    for (const SPresetRow& row : document.rows) {
        QJsonObject json;
        json.insert(QStringLiteral("band"),
                    QString::fromStdString(CPresetStore::ModelText(row.nBand)));
        json.insert(QStringLiteral("slot"), row.nSlot);
        json.insert(QStringLiteral("kHz"),
                    static_cast<qint64>(row.nBand == FM ? row.nFrequency * 10u : row.nFrequency));
        json.insert(QStringLiteral("flag"), row.nChannelFlag);
        json.insert(QStringLiteral("title"), QString::fromStdString(row.strTitle));
        presets.append(json);
    }
    QJsonObject json;
    json.insert(QStringLiteral("format"), QLatin1String(kJsonFormat));
    json.insert(QStringLiteral("version"), 1);
    json.insert(QStringLiteral("set"), QString::fromStdString(document.strSetName));
    json.insert(QStringLiteral("presets"), presets);
    return QJsonDocument(json).toJson(QJsonDocument::Indented).toStdString();
}

// The line of the n-th object of the "presets" array, roughly: where its
// "band" key is.
std::vector<size_t> ObjectLines(std::string_view bytes) {
    std::vector<size_t> lines;
    size_t nLine = 1;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ++nLine;
        } else if (bytes.compare(i, 6, "\"band\"") == 0) {
            lines.push_back(nLine);
        }
    }
    return lines;
}

SPresetRead ReadJson(std::string_view bytes) {
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        return Refused(LineText(LineOf(bytes, static_cast<size_t>(error.offset))) +
                       ": the file is not whole JSON (" + error.errorString().toStdString() + ")");
    }
    const QJsonObject root = json.object();
    if (!json.isObject() ||
        root.value(QStringLiteral("format")).toString() != QLatin1String(kJsonFormat)) {
        return Refused("line 1: not a Kestrel preset file (no \"format\": \"kestrel-presets\")");
    }
    if (root.value(QStringLiteral("version")).toInt(0) != 1) {
        return Refused("line 1: a Kestrel preset file of a version this Kestrel does not know");
    }
    const QJsonValue presets = root.value(QStringLiteral("presets"));
    if (!presets.isArray()) {
        return Refused("line 1: the file holds no \"presets\" list");
    }
    SPresetRead read;
    SPresetDocument document;
    document.bSlots = true;
    std::vector<std::string> nameNotes;
    document.strSetName =
        CleanTitle(root.value(QStringLiteral("set")).toString().toStdString(), 1, false, nameNotes);
    const std::vector<size_t> lines = ObjectLines(bytes);
    CRowCheck check(read.notes);
    const QJsonArray array = presets.toArray();
    for (qsizetype n = 0; n < array.size(); ++n) {
        const size_t nLine =
            static_cast<size_t>(n) < lines.size() ? lines[static_cast<size_t>(n)] : 1;
        const QJsonObject entry = array.at(n).toObject();
        const QString band = entry.value(QStringLiteral("band")).toString();
        const double dKHz = entry.value(QStringLiteral("kHz")).toDouble(-1);
        const int nSlot = entry.value(QStringLiteral("slot")).toInt(-1);
        if ((band != QLatin1String("FM") && band != QLatin1String("AM")) || dKHz < 0 || nSlot < 0 ||
            nSlot >= CPresetStore::kSlots) {
            read.notes.push_back(LineText(nLine) +
                                 ": not a preset (band, slot 0-99, kHz): left out");
            continue;
        }
        SPresetRow row;
        row.nLine = nLine;
        row.nBand = band == QLatin1String("FM") ? FM : AM;
        row.nSlot = nSlot;
        row.nFrequency = static_cast<unsigned>(std::lround(row.nBand == FM ? dKHz / 10.0 : dKHz));
        row.nChannelFlag = entry.value(QStringLiteral("flag")).toInt(0) != 0 ? 1 : 0;
        row.strTitle = CleanTitle(entry.value(QStringLiteral("title")).toString().toStdString(),
                                  nLine, false, read.notes);
        if (check.Take(row)) {
            document.rows.push_back(std::move(row));
        }
    }
    read.document = std::move(document);
    return read;
}

// CSV -------------------------------------------------------------------------

std::string CsvCell(const std::string& text) {
    std::string cell = LooksLikeFormula(text) ? "'" + text : text;
    if (cell.find_first_of(",\"\n") == std::string::npos) {
        return cell;
    }
    std::string quoted = "\"";
    for (char c : cell) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string WriteCsv(const SPresetDocument& document) {
    std::string text = std::string(kCsvHeader) + "\r\n";
    for (const SPresetRow& row : document.rows) {
        text += CPresetStore::FrequencyNumber(row.nBand, row.nFrequency) + "," +
                CPresetStore::ModelText(row.nBand) + "," + CsvCell(row.strTitle) + "," +
                std::to_string(row.nChannelFlag) + "\r\n";
    }
    return text;
}

// The cells of one CSV record (RFC 4180 quoting, on one line); none when a
// quote is left open.
std::optional<std::vector<std::string>> CsvCells(std::string_view line) {
    std::vector<std::string> cells(1);
    bool bQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (bQuoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else if (c == '"') {
                bQuoted = false;
            } else {
                cells.back() += c;
            }
        } else if (c == '"') {
            bQuoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else if (c != '\r') {
            cells.back() += c;
        }
    }
    if (bQuoted) {
        return std::nullopt;
    }
    return cells;
}

SPresetRead ReadCsv(std::string_view bytes) {
    SPresetRead read;
    SPresetDocument document;
    CRowCheck check(read.notes);
    const std::vector<std::string_view> lines = Lines(bytes);
    for (size_t n = 0; n < lines.size(); ++n) {
        const size_t nLine = n + 1;
        const std::string_view line = Trimmed(lines[n]);
        if (line.empty() || (n == 0 && line.substr(0, 9) == "frequency")) {
            continue;
        }
        const std::optional<std::vector<std::string>> cells = CsvCells(line);
        if (!cells || cells->size() != 4) {
            return Refused(LineText(nLine) + ": not a preset row (" + kCsvHeader + ")");
        }
        const std::string_view band = Trimmed((*cells)[1]);
        const std::optional<double> number = Number((*cells)[0]);
        const std::optional<double> flag = Number((*cells)[3]);
        if ((band != "FM" && band != "AM") || !number || *number < 0 || *number > 1e6 || !flag) {
            return Refused(LineText(nLine) + ": not a preset row (" + kCsvHeader + ")");
        }
        SPresetRow row;
        row.nLine = nLine;
        row.nBand = band == "FM" ? FM : AM;
        row.nFrequency =
            static_cast<unsigned>(std::lround(row.nBand == FM ? *number * 100 : *number));
        row.nChannelFlag = *flag != 0 ? 1 : 0;
        row.strTitle = CleanTitle((*cells)[2], nLine, true, read.notes);
        if (check.Take(row)) {
            document.rows.push_back(std::move(row));
        }
    }
    read.document = std::move(document);
    return read;
}

// gqrx ------------------------------------------------------------------------

std::string LeftJustified(std::string text, size_t nWidth) {
    if (text.size() < nWidth) {
        text.append(nWidth - text.size(), ' ');
    }
    return text;
}

std::string RightJustified(std::string text, size_t nWidth) {
    if (text.size() < nWidth) {
        text.insert(0, nWidth - text.size(), ' ');
    }
    return text;
}

// gqrx's layout: the tags, a blank line, then one bookmark a line.
std::string WriteGqrx(const SPresetDocument& document) {
    std::string text = LeftJustified("# Tag name", 20) + "; " + " color\n";
    text += LeftJustified(kGqrxTag, 20) + "; #c0c0c0\n\n";
    text += LeftJustified("# Frequency", 12) + "; " + LeftJustified("Name", 25) + "; " +
            LeftJustified("Modulation", 20) + "; " + RightJustified("Bandwidth", 10) + "; Tags\n";
    for (const SPresetRow& row : document.rows) {
        std::string name = row.strTitle;
        std::replace(name.begin(), name.end(), ';', ',');  // gqrx splits on it
        const bool bFm = row.nBand == FM;
        const uint64_t nHz =
            bFm ? uint64_t{row.nFrequency} * 10'000 : uint64_t{row.nFrequency} * 1000;
        const char* pModulation = !bFm ? "AM" : row.nChannelFlag ? "WFM (mono)" : "WFM (stereo)";
        text += RightJustified(std::to_string(nHz), 12) + "; " + LeftJustified(name, 25) + "; " +
                LeftJustified(pModulation, 20) + "; " +
                RightJustified(bFm ? "160000" : "10000", 10) + "; " + kGqrxTag + "\n";
    }
    return text;
}

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    for (;;) {
        const size_t nEnd = line.find(';');
        fields.emplace_back(Trimmed(line.substr(0, nEnd)));
        if (nEnd == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(nEnd + 1);
    }
}

SPresetRead ReadGqrx(std::string_view bytes) {
    SPresetRead read;
    SPresetDocument document;
    CRowCheck check(read.notes);
    const std::vector<std::string_view> lines = Lines(bytes);
    bool bBookmarks = false;  // past the tags' blank line
    bool bAny = false;
    for (size_t n = 0; n < lines.size(); ++n) {
        const size_t nLine = n + 1;
        const std::string_view line = Trimmed(lines[n]);
        if (!bBookmarks) {
            bBookmarks = line.empty();
            if (!line.empty() && line.front() != '#' && SplitFields(line).size() != 2) {
                return Refused(LineText(nLine) + ": not gqrx's bookmarks (a tag and its colour)");
            }
            continue;
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::vector<std::string> fields = SplitFields(line);
        const std::optional<double> hz = fields.size() >= 5 ? Number(fields[0]) : std::nullopt;
        if (!hz || *hz < 0) {
            return Refused(LineText(nLine) +
                           ": not a gqrx bookmark (frequency; name; modulation; bandwidth; tags)");
        }
        bAny = true;
        SPresetRow row;
        row.nLine = nLine;
        row.nBand = *hz >= 30e6 ? FM : AM;
        row.nFrequency = static_cast<unsigned>(
            std::min(std::lround(row.nBand == FM ? *hz / 10'000 : *hz / 1000), long{1} << 24));
        row.nChannelFlag = fields[2] == "WFM (mono)" ? 1 : 0;
        row.strTitle = CleanTitle(fields[1], nLine, false, read.notes);
        if (check.Take(row)) {
            document.rows.push_back(std::move(row));
        }
    }
    if (!bAny && !lines.empty() && !bBookmarks) {
        return Refused(LineText(lines.size()) + ": gqrx's bookmarks end before the first bookmark");
    }
    read.document = std::move(document);
    return read;
}

}  // namespace

std::optional<CPresetFile::EFormat> CPresetFile::FormatNamed(std::string_view name) {
    if (name == "json") {
        return EFormat::Json;
    }
    if (name == "csv") {
        return EFormat::Csv;
    }
    if (name == "gqrx") {
        return EFormat::Gqrx;
    }
    return std::nullopt;
}

const char* CPresetFile::FormatName(EFormat eFormat) {
    switch (eFormat) {
        case EFormat::Json:
            return "json";
        case EFormat::Csv:
            return "csv";
        case EFormat::Gqrx:
            return "gqrx";
    }
    return "json";
}

CPresetFile::EFormat CPresetFile::FormatOf(const std::string& strPath, std::string_view bytes) {
    const std::filesystem::path path(strPath);
    const std::string extension = path.extension().string();
    if (extension == ".json" || extension == ".JSON") {
        return EFormat::Json;
    }
    if (path.filename() == "bookmarks.csv" || bytes.substr(0, 10) == "# Tag name") {
        return EFormat::Gqrx;
    }
    if (extension == ".csv" || extension == ".CSV" || bytes.substr(0, 9) == "frequency") {
        return EFormat::Csv;
    }
    return EFormat::Json;
}

SPresetDocument CPresetFile::FromStore(const CPresetStore& store, std::string strSetName) {
    SPresetDocument document;
    document.strSetName = std::move(strSetName);
    document.bSlots = true;
    for (int nBand : {FM, AM}) {
        for (int n = 0; n < CPresetStore::kSlots; ++n) {
            const CPresetStore::SSlot slot = store.ReadSlot(nBand, n);
            if (slot.nValue == 0) {
                continue;
            }
            const CChannelWord word(slot.nValue);
            document.rows.push_back(
                {nBand, n, word.Frequency(), word.ChannelFlag(), slot.strTitle, 0});
        }
    }
    return document;
}

std::string CPresetFile::Write(EFormat eFormat, const SPresetDocument& document) {
    switch (eFormat) {
        case EFormat::Json:
            return WriteJson(document);
        case EFormat::Csv:
            return WriteCsv(document);
        case EFormat::Gqrx:
            return WriteGqrx(document);
    }
    return {};
}

SPresetRead CPresetFile::Read(EFormat eFormat, std::string_view bytes) {
    if (bytes.size() > kMaxBytes) {
        return Refused("the file holds " + std::to_string(bytes.size()) +
                       " bytes: a preset list has at most " + std::to_string(kMaxBytes));
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    if (const std::optional<size_t> nBad = BadUtf8(bytes)) {
        return Refused(LineText(LineOf(bytes, *nBad)) + ": not UTF-8 text");
    }
    if (bytes.find('\0') != std::string_view::npos) {
        return Refused(LineText(LineOf(bytes, bytes.find('\0'))) + ": not text (a zero byte)");
    }
    switch (eFormat) {
        case EFormat::Json:
            return ReadJson(bytes);
        case EFormat::Csv:
            return ReadCsv(bytes);
        case EFormat::Gqrx:
            return ReadGqrx(bytes);
    }
    return Refused("unknown format");
}

std::optional<std::string> CPresetFile::Load(const std::string& strPath, std::string& strWhy) {
    CUniqueFd fd(::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &info) != 0) {
        strWhy = strPath + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        strWhy = strPath + ": not a file";
        return std::nullopt;
    }
    if (static_cast<size_t>(info.st_size) > kMaxBytes) {
        strWhy = strPath + ": the file holds " + std::to_string(info.st_size) +
                 " bytes: a preset list has at most " + std::to_string(kMaxBytes);
        return std::nullopt;
    }
    std::string text(kMaxBytes + 1, '\0');
    size_t nRead = 0;
    while (nRead < text.size()) {
        const ssize_t n = ::read(fd.Get(), text.data() + nRead, text.size() - nRead);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            strWhy = strPath + ": " + std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        nRead += static_cast<size_t>(n);
    }
    text.resize(nRead);  // grown meanwhile: Read() refuses what is too large
    return text;
}

bool CPresetFile::Save(const std::string& strPath, const std::string& strText,
                       std::string& strWhy) {
    const std::string strTemporary = strPath + ".kestrel-tmp";
    {
        std::ofstream out(strTemporary, std::ios::binary | std::ios::trunc);
        out << strText;
        out.flush();
        if (!out) {
            strWhy = strPath + ": cannot be written";
            std::error_code ignored;
            std::filesystem::remove(strTemporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(strTemporary, strPath, error);
    if (error) {
        strWhy = strPath + ": " + error.message();
        std::filesystem::remove(strTemporary, error);
        return false;
    }
    return true;
}
