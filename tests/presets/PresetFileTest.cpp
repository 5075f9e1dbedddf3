#include "presets/exchange/PresetFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "presets/PresetChange.h"
#include "presets/PresetStore.h"
#include "presets/exchange/PresetImport.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int FM = CPresetStore::BAND_FM;
constexpr int AM = CPresetStore::BAND_AM;
using EFormat = CPresetFile::EFormat;
using EMode = CScanPlacement::EMode;

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    for (;;) {
        const size_t nEnd = line.find(';');
        std::string field(line.substr(0, nEnd));
        field.erase(0, field.find_first_not_of(' '));
        field.erase(field.find_last_not_of(' ') + 1);
        fields.push_back(field);
        if (nEnd == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(nEnd + 1);
    }
}

bool HasNote(const SPresetRead& read, std::string_view part) {
    for (const std::string& note : read.notes) {
        if (note.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

class PresetFileTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_store.WriteSlot(FM, 0, CChannelWord::Of(FM, 8010, 1).Value(), "J-WAVE 東京"));
        ASSERT_TRUE(m_store.WriteSlot(FM, 7, CChannelWord::Of(FM, 10430).Value(), "=SUM(A1)"));
        ASSERT_TRUE(m_store.WriteSlot(AM, 99, CChannelWord::Of(AM, 1008).Value(), "Kansai; AM"));
    }
    // Read back into a second, empty profile.
    CPresetStore RoundTrip(EFormat eFormat, EMode eMode = EMode::FreeSlots) {
        const std::string text =
            CPresetFile::Write(eFormat, CPresetFile::FromStore(m_store, "Home"));
        const SPresetRead read = CPresetFile::Read(eFormat, text);
        EXPECT_TRUE(read.document) << read.strError;
        CPresetStore target(m_copy);
        if (read.document) {
            EXPECT_TRUE(
                ApplyPresetChanges(target, CPresetImport::Plan(target, *read.document, eMode)));
        }
        return target;
    }

    CTempDir m_dir;
    CProfile m_profile{m_dir.File("Kestrel.ini")};
    CPresetStore m_store{m_profile};
    CProfile m_copy{m_dir.File("Copy.ini")};
};

TEST_F(PresetFileTest, KestrelsJsonKeepsEverySlotFieldAndTheSetsName) {
    const CPresetStore copy = RoundTrip(EFormat::Json);
    for (int nBand : {FM, AM}) {
        for (int n = 0; n < CPresetStore::kSlots; ++n) {
            ASSERT_EQ(copy.ReadValue(nBand, n), m_store.ReadValue(nBand, n)) << n;
            if (m_store.ReadValue(nBand, n) != 0) {
                EXPECT_EQ(copy.ReadEntry(nBand, n).strTitle, m_store.ReadEntry(nBand, n).strTitle);
            }
        }
    }
    const std::string text =
        CPresetFile::Write(EFormat::Json, CPresetFile::FromStore(m_store, "Car"));
    EXPECT_EQ(CPresetFile::Read(EFormat::Json, text).document->strSetName, "Car");
}

TEST_F(PresetFileTest, CsvKeepsFrequencyBandTitleAndFlagAndGuardsFormulas) {
    const std::string text =
        CPresetFile::Write(EFormat::Csv, CPresetFile::FromStore(m_store, "Home"));
    EXPECT_EQ(text.substr(0, text.find('\r')), "frequency,band,title,flag");
    EXPECT_NE(text.find("104.30,FM,'=SUM(A1),0"), std::string::npos);  // no spreadsheet runs it
    EXPECT_NE(text.find("1008,AM,Kansai; AM,0"), std::string::npos);
    const CPresetStore copy = RoundTrip(EFormat::Csv);
    EXPECT_EQ(copy.ReadEntry(FM, 0).nFrequency, 8010u);
    EXPECT_EQ(copy.ReadEntry(FM, 0).nChannelFlag, 1);
    EXPECT_EQ(copy.ReadEntry(FM, 0).strTitle, "J-WAVE 東京");
    EXPECT_EQ(copy.ReadEntry(FM, 1).strTitle, "=SUM(A1)");  // slots in file order
    EXPECT_EQ(copy.ReadEntry(AM, 0).nFrequency, 1008u);
}

// gqrx's own layout, as its bookmarks.csv holds it: tags, a blank line, then
// frequency in Hz; name; modulation; bandwidth; tags.
TEST_F(PresetFileTest, GqrxBookmarksAreReadAndWrittenFieldByField) {
    const std::string sample =
        "# Tag name          ;  color\n"
        "Untagged            ; #c0c0c0\n"
        "Broadcast           ; #ff0000\n"
        "\n"
        "# Frequency ; Name                     ; Modulation          ;  Bandwidth; Tags\n"
        "    80100000; J-WAVE                   ; WFM (stereo)        ;     160000; Broadcast\n"
        "    82500000; NHK FM                   ; WFM (mono)          ;     160000; Untagged\n"
        "     1008000; ABC                      ; AM                  ;      10000; Broadcast\n"
        "   145500000; Calling                  ; Narrow FM           ;      10000; Untagged\n";
    const SPresetRead read = CPresetFile::Read(EFormat::Gqrx, sample);
    ASSERT_TRUE(read.document) << read.strError;
    ASSERT_EQ(read.document->rows.size(), 3u);
    const SPresetRow& first = read.document->rows[0];
    EXPECT_EQ(first.nBand, FM);
    EXPECT_EQ(first.nFrequency, 8010u);
    EXPECT_EQ(first.strTitle, "J-WAVE");
    EXPECT_EQ(first.nChannelFlag, 0);
    EXPECT_EQ(read.document->rows[1].nChannelFlag, 1);  // WFM (mono)
    EXPECT_EQ(read.document->rows[2].nBand, AM);
    EXPECT_EQ(read.document->rows[2].nFrequency, 1008u);
    EXPECT_TRUE(HasNote(read, "line 9"));  // 145.5 MHz is no broadcast band

    const std::string written =
        CPresetFile::Write(EFormat::Gqrx, CPresetFile::FromStore(m_store, "Home"));
    EXPECT_EQ(CPresetFile::FormatOf("bookmarks.csv"), EFormat::Gqrx);
    EXPECT_EQ(CPresetFile::FormatOf("x.csv", written), EFormat::Gqrx);
    const size_t nHeader = written.find("# Frequency");
    ASSERT_NE(nHeader, std::string::npos);
    EXPECT_EQ(written.substr(nHeader - 2, 2), "\n\n");  // the blank line after the tags
    const size_t nRow = written.find('\n', nHeader) + 1;
    const std::string row = written.substr(nRow, written.find('\n', nRow) - nRow);
    EXPECT_EQ(row.find(';'), 12u);  // the frequency right-justified in 12
    EXPECT_EQ(Fields(row), (std::vector<std::string>{"80100000", "J-WAVE 東京", "WFM (mono)",
                                                     "160000", "Untagged"}));
    EXPECT_NE(written.find("Kansai, AM"), std::string::npos);  // gqrx splits on ';'
    const CPresetStore copy = RoundTrip(EFormat::Gqrx);
    EXPECT_EQ(copy.ReadEntry(FM, 0).nFrequency, 8010u);
    EXPECT_EQ(copy.ReadEntry(FM, 0).nChannelFlag, 1);
    EXPECT_EQ(copy.ReadEntry(AM, 0).nFrequency, 1008u);
}

TEST_F(PresetFileTest, DamagedForeignAndOversizedFilesAreRefusedWithTheirLine) {
    const std::string json =
        CPresetFile::Write(EFormat::Json, CPresetFile::FromStore(m_store, "Home"));
    const SPresetRead cut = CPresetFile::Read(EFormat::Json, json.substr(0, json.size() / 2));
    EXPECT_FALSE(cut.document);
    EXPECT_EQ(cut.strError.rfind("line ", 0), 0u) << cut.strError;

    const SPresetRead latin1 = CPresetFile::Read(EFormat::Csv,
                                                 "frequency,band,title,flag\n"
                                                 "80.10,FM,Caf\xE9,0\n");
    EXPECT_FALSE(latin1.document);
    EXPECT_EQ(latin1.strError, "line 2: not UTF-8 text");

    EXPECT_FALSE(CPresetFile::Read(EFormat::Json, R"({"stations": []})").document);
    const SPresetRead columns = CPresetFile::Read(EFormat::Csv, "80.10,FM,A,0\n80.20,FM\n");
    EXPECT_EQ(columns.strError.rfind("line 2:", 0), 0u) << columns.strError;

    const std::string huge(10 << 20, 'x');
    EXPECT_FALSE(CPresetFile::Read(EFormat::Csv, huge).document);
    const std::string path = m_dir.File("huge.csv");
    std::ofstream(path) << huge;
    std::string strWhy;
    EXPECT_FALSE(CPresetFile::Load(path, strWhy));
    EXPECT_NE(strWhy.find("at most"), std::string::npos);
    EXPECT_FALSE(CPresetFile::Load(m_dir.File("missing.csv"), strWhy));
}

TEST_F(PresetFileTest, FormulasDuplicatesAndStrayRowsAreCleanedWithANote) {
    const SPresetRead read = CPresetFile::Read(EFormat::Csv,
                                               "frequency,band,title,flag\n"
                                               "80.10,FM,=cmd|'/c calc'!A1,0\n"
                                               "80.10,FM,Again,0\n"
                                               "150.00,FM,Air,0\n"
                                               "82.50,FM,\"Tab\there\",1\n");
    ASSERT_TRUE(read.document) << read.strError;
    ASSERT_EQ(read.document->rows.size(), 2u);
    EXPECT_EQ(read.document->rows[0].strTitle, "cmd|'/c calc'!A1");
    EXPECT_EQ(read.document->rows[1].strTitle, "Tabhere");
    EXPECT_TRUE(HasNote(read, "line 2: the title"));
    EXPECT_TRUE(HasNote(read, "line 3: FM 80.10MHz is there already (line 2)"));
    EXPECT_TRUE(HasNote(read, "line 4"));
    EXPECT_TRUE(HasNote(read, "line 5: control characters"));
}

// An import shows its changes first; nothing is written until they are applied.
TEST_F(PresetFileTest, AnImportPlansItsChangesBeforeMakingThem) {
    const SPresetRead read = CPresetFile::Read(EFormat::Csv, "90.00,FM,New,0\n80.10,FM,Held,1\n");
    ASSERT_TRUE(read.document);
    const std::vector<SPresetChange> changes =
        CPresetImport::Plan(m_store, *read.document, EMode::FreeSlots);
    ASSERT_EQ(changes.size(), 1u);  // 80.10 is held already
    EXPECT_EQ(CPresetImport::Describe(changes[0]), "slot 1: empty -> FM 90.00MHz  New");
    EXPECT_EQ(m_store.ReadValue(FM, 1), 0u);
    ASSERT_TRUE(ApplyPresetChanges(m_store, changes));
    EXPECT_EQ(m_store.ReadEntry(FM, 1).strTitle, "New");
}

}  // namespace
