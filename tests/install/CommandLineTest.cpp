#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using EAction = CCommandLine::EAction;

CCommandLine Parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "kestrel");
    return CCommandLine(arguments);
}

TEST(CommandLineTest, TheFirstPlainParameterIsTheTaskWhenItIsANumber) {
    EXPECT_EQ(Parse({}).TaskNumber(), -1);
    EXPECT_EQ(Parse({"3"}).TaskNumber(), 3);
    EXPECT_EQ(Parse({"0"}).TaskNumber(), 0);
    EXPECT_EQ(Parse({"+7"}).TaskNumber(), 7);
    EXPECT_EQ(Parse({"-v", "7"}).TaskNumber(), 7);
    EXPECT_EQ(Parse({"/x", "12", "13"}).TaskNumber(), 12);
    for (const char* pText : {"news", "notes.txt", "3rd", "0x3", "", " 3", "99999999999"}) {
        EXPECT_EQ(Parse({pText}).TaskNumber(), -1) << pText;
        EXPECT_EQ(Parse({pText, "4"}).TaskNumber(), -1) << pText;  // only the first counts
    }
    // A path is text, not a DOS-style switch.
    EXPECT_EQ(Parse({"/home/me/5", "6"}).TaskNumber(), -1);
    // After "--" even a dash is plain.
    EXPECT_EQ(Parse({"--", "8"}).TaskNumber(), 8);
    EXPECT_EQ(Parse({"--", "-8"}).TaskNumber(), -1);
    EXPECT_EQ(Parse({"5"}).Action(), EAction::Run);
}

TEST(CommandLineTest, AScheduledJobsLineGivesTaskAndDataSource) {
    const CCommandLine line = Parse({"41", "--data-source=1b4e28ba-2fa1-41d2-883f-0016d3cca427"});
    EXPECT_EQ(line.Action(), EAction::Run);
    EXPECT_EQ(line.TaskNumber(), 41);
    EXPECT_EQ(line.DataSource(), "1b4e28ba-2fa1-41d2-883f-0016d3cca427");
    EXPECT_EQ(Parse({"--data-source", "abc", "2"}).DataSource(), "abc");
    EXPECT_EQ(Parse({"--data-source", "abc", "2"}).TaskNumber(), 2);  // the value is no task
    EXPECT_EQ(Parse({"--data-source=a", "--data-source=b"}).DataSource(), "a");
    EXPECT_EQ(Parse({"3"}).DataSource(), "");
}

TEST(CommandLineTest, HelpVersionAndSetUpEndTheProgram) {
    EXPECT_EQ(Parse({"--help"}).Action(), EAction::Help);
    EXPECT_EQ(Parse({"--version"}).Action(), EAction::Version);
    EXPECT_EQ(Parse({"--setup-data-source"}).Action(), EAction::SetUpDataSource);
    EXPECT_EQ(Parse({"3", "--version", "--help"}).Action(), EAction::Version);  // the first
    EXPECT_EQ(CCommandLine::VersionText(), "Kestrel 1.0\n");
    const std::string strHelp = CCommandLine::HelpText("kestrel");
    for (const char* pPart : {"Usage: kestrel [TASK]", "--data-source=ID", "--setup-data-source",
                              "--help", "--version", "kestrel(1)"}) {
        EXPECT_NE(strHelp.find(pPart), std::string::npos) << pPart;
    }
}

TEST(CommandLineTest, UnknownOrMisusedSwitchesAreErrorsButToolkitOptionsPass) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--tuner", "80.0"}, {"--helpme"}, {"--help=yes"}, {"--data-source"}, {"3", "--x"}}) {
        const CCommandLine line = Parse(arguments);
        EXPECT_EQ(line.Action(), EAction::Error) << arguments[0];
        EXPECT_FALSE(line.ErrorText().empty()) << arguments[0];
    }
    EXPECT_EQ(Parse({"--tuner", "80.0"}).ErrorText(), "unknown option --tuner");
    EXPECT_EQ(Parse({"--data-source"}).ErrorText(), "the option --data-source needs a value");
    // An error wins over a request to end quietly.
    EXPECT_EQ(Parse({"--help", "--bogus"}).Action(), EAction::Error);

    // Qt reads its own options; their values are no task.
    const CCommandLine qt = Parse({"-platform", "offscreen", "-style=fusion", "-reverse", "9"});
    EXPECT_EQ(qt.Action(), EAction::Run);
    EXPECT_EQ(qt.TaskNumber(), 9);
    EXPECT_EQ(Parse({"-platform", "3"}).TaskNumber(), -1);
}

TEST(CommandLineTest, VerbsForTheRadioTakeTheirValues) {
    using EVerb = CCommandLine::EVerb;
    CCommandLine line = Parse({"--tune", "80.0"});
    EXPECT_EQ(line.Action(), EAction::Remote);
    EXPECT_EQ(line.Verb(), EVerb::Tune);
    EXPECT_EQ(line.VerbValue(), "80.0");
    EXPECT_EQ(Parse({"--tune=AM 1008"}).VerbValue(), "AM 1008");
    EXPECT_EQ(Parse({"--preset", "7"}).Verb(), EVerb::Preset);
    EXPECT_EQ(Parse({"--seek=down"}).VerbValue(), "down");
    EXPECT_EQ(Parse({"--stop"}).Verb(), EVerb::Stop);
    EXPECT_EQ(Parse({"--status"}).Verb(), EVerb::Status);
    EXPECT_EQ(Parse({"--tasks"}).Verb(), EVerb::Tasks);
    EXPECT_EQ(Parse({"--help", "--status"}).Action(), EAction::Help);

    line = Parse({"--record"});
    EXPECT_EQ(line.Verb(), EVerb::Record);
    EXPECT_EQ(line.RecordSeconds(), 0);
    EXPECT_EQ(Parse({"--record", "--for", "30m"}).RecordSeconds(), 1800);
    EXPECT_EQ(Parse({"--for=1h30m", "--record"}).RecordSeconds(), 5400);

    line = Parse({"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "FM 80.0", "Carols"});
    EXPECT_EQ(line.Verb(), EVerb::AddTask);
    EXPECT_EQ(line.TaskFields(), (std::vector<std::string>{"2026-12-24 18:00", "2026-12-24 19:00",
                                                           "FM 80.0", "Carols"}));
    line = Parse({"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80.0", "--help"});
    EXPECT_EQ(line.TaskFields()[3], "");  // an option, no memo
    EXPECT_EQ(line.Action(), EAction::Help);

    line = Parse({"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80.0", "News", "--repeat",
                  "mon,wed", "--until", "2027-03-31", "--pad-before=2", "--pad-after", "5"});
    EXPECT_EQ(line.Action(), EAction::Remote) << line.ErrorText();
    EXPECT_TRUE(line.HasRepeat());
    EXPECT_EQ(line.Repeat().strRepeat, "mon,wed");
    EXPECT_EQ(line.Repeat().strUntil, "2027-03-31");
    EXPECT_EQ(line.Repeat().nPadBefore, 2);
    EXPECT_EQ(line.Repeat().nPadAfter, 5);
    EXPECT_FALSE(Parse({"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80.0"}).HasRepeat());
}

TEST(CommandLineTest, VerbsRefuseWhatTheyCannotUse) {
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--tune"},
             {"--tune="},
             {"--preset", "100"},
             {"--preset", "one"},
             {"--seek", "left"},
             {"--record", "--for", "soon"},
             {"--record", "--for", "0"},
             {"--record", "--for", "1h30"},
             {"--status", "--for", "5m"},
             {"--tune", "80", "--stop"},
             {"--status", "3"},
             {"3", "--status"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00"},
             {"--stop=now"},
             {"--band", "FM"},
             {"--scan", "--band", "LW"},
             {"--scan", "--store", "all"},
             {"--tune", "80", "--store", "free"},
             {"--yes"},
             {"--scan", "--yes"},
             {"--export-presets", "x.json", "--format", "xml"},
             {"--import-presets"},
             {"--preset-set="},
             {"--status", "--repeat", "daily"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80", "--repeat", "hourly"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80", "--pad-before", "-1"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80", "--pad-after", "500"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80", "--times", "x"},
             {"--add-task", "2026-12-24 18:00", "2026-12-24 19:00", "80", "--until", "soon"}}) {
        const CCommandLine line = Parse(arguments);
        EXPECT_EQ(line.Action(), EAction::Error) << arguments[0] << " " << arguments.size();
        EXPECT_FALSE(line.ErrorText().empty());
    }
    EXPECT_EQ(Parse({"--tune", "80", "--stop"}).ErrorText(),
              "--stop cannot go with --tune: one command at a time");
    EXPECT_EQ(CCommandLine::ParseLength("90s"), 90);
    EXPECT_EQ(CCommandLine::ParseLength("45"), 45);
    EXPECT_EQ(CCommandLine::ParseLength("2h5m10s"), 7510);
    EXPECT_EQ(CCommandLine::ParseLength("10d"), -1);
    EXPECT_EQ(CCommandLine::ParseLength("99999999999999h"), -1);
    const std::string strHelp = CCommandLine::HelpText("kestrel");
    for (const char* pPart : {"--tune FREQ", "--record [--for LEN]", "--add-task BEGIN END CHANNEL",
                              "Exit status: 0 done"}) {
        EXPECT_NE(strHelp.find(pPart), std::string::npos) << pPart;
    }
}

TEST(CommandLineTest, ScanAndPresetVerbsTakeTheirOptions) {
    using EVerb = CCommandLine::EVerb;
    CCommandLine line = Parse({"--scan", "--band", "AM", "--store", "page"});
    EXPECT_EQ(line.Action(), EAction::Remote);
    EXPECT_EQ(line.Verb(), EVerb::Scan);
    EXPECT_EQ(line.ScanBand(), "AM");
    EXPECT_EQ(line.Store(), "page");
    line = Parse(
        {"--import-presets", "bookmarks.csv", "--format", "gqrx", "--store", "band", "--yes"});
    EXPECT_EQ(line.Verb(), EVerb::ImportPresets);
    EXPECT_EQ(line.VerbValue(), "bookmarks.csv");
    EXPECT_EQ(line.PresetFormat(), "gqrx");
    EXPECT_TRUE(line.Confirmed());
    EXPECT_EQ(Parse({"--preset-set", "Car"}).VerbValue(), "Car");
    EXPECT_EQ(Parse({"--preset-sets"}).Verb(), EVerb::PresetSets);
    const std::string strHelp = CCommandLine::HelpText("kestrel");
    for (const char* pPart :
         {"--scan [--band FM|AM]", "--import-presets FILE", "--preset-set NAME"}) {
        EXPECT_NE(strHelp.find(pPart), std::string::npos) << pPart;
    }
}

// A recording of a given station: --tune or --preset beside --record is
// tuned first, either way round; nothing else goes beside a verb.
TEST(CommandLineTest, ARecordingMayNameItsStation) {
    CCommandLine line = Parse({"--tune", "98.5", "--record", "--for", "5s"});
    ASSERT_EQ(line.Action(), CCommandLine::EAction::Remote) << line.ErrorText();
    EXPECT_EQ(line.Verb(), CCommandLine::EVerb::Record);
    EXPECT_EQ(line.RecordSeconds(), 5);
    ASSERT_TRUE(line.Tuning().has_value());
    EXPECT_EQ(line.Tuning()->eVerb, CCommandLine::EVerb::Tune);
    EXPECT_EQ(line.Tuning()->strValue, "98.5");
    line = Parse({"--record", "--preset=7"});
    ASSERT_EQ(line.Action(), CCommandLine::EAction::Remote) << line.ErrorText();
    ASSERT_TRUE(line.Tuning().has_value());
    EXPECT_EQ(line.Tuning()->eVerb, CCommandLine::EVerb::Preset);
    EXPECT_EQ(line.Tuning()->strValue, "7");
    EXPECT_FALSE(Parse({"--record"}).Tuning().has_value());

    for (const auto& [arguments, strSaid] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--tune", "98.5", "--preset", "3", "--record"}, "one command at a time"},
             {{"--record", "--tune", "98.5", "--preset", "3"}, "one command at a time"},
             {{"--seek", "up", "--record"}, "one command at a time"},
             {{"--tune", "98.5", "--stop"}, "one command at a time"},
             {{"--tune", "abc", "--record"}, "--tune needs a frequency"},
             {{"--record", "--preset", "100"}, "preset number 0 to 99"},
             {{"--tune", "98.5", "--for", "5s"}, "--for goes with --record"},
         }) {
        line = Parse(arguments);
        EXPECT_EQ(line.Action(), CCommandLine::EAction::Error) << arguments.front();
        EXPECT_NE(line.ErrorText().find(strSaid), std::string::npos) << line.ErrorText();
    }
}

// An IQ recording goes with any verb or none; what the file's name does not
// say is given in Hz with an optional k, M or G.
TEST(CommandLineTest, AnIqRecordingTakesItsFormatRateAndCentre) {
    const CCommandLine line = Parse({"--iq-file", "/tmp/air.raw", "--iq-format", "cs16",
                                     "--iq-rate", "2.4M", "--iq-center=98.5M", "--tune", "98.5"});
    ASSERT_NE(line.Action(), CCommandLine::EAction::Error) << line.ErrorText();
    ASSERT_TRUE(line.IqFile().has_value());
    EXPECT_EQ(line.IqFile()->strPath, "/tmp/air.raw");
    EXPECT_EQ(line.IqFile()->eFormat, CIqFile::EFormat::Cs16);
    EXPECT_EQ(line.IqFile()->dRate, 2.4e6);
    EXPECT_EQ(line.IqFile()->dCenter, 98.5e6);
    EXPECT_EQ(line.Verb(), CCommandLine::EVerb::Tune);
    EXPECT_TRUE(Parse({"--iq-file", "/tmp/air.raw"}).IqFile().has_value());
    EXPECT_FALSE(Parse({"--tune", "98.5"}).IqFile().has_value());

    for (const auto& [arguments, strSaid] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--iq-rate", "2.4M"}, "go with --iq-file"},
             {{"--iq-file", "f", "--iq-format", "s8"}, "cu8, cs16 or cf32"},
             {{"--iq-file", "f", "--iq-rate", "fast"}, "sample rate"},
             {{"--iq-file", "f", "--iq-center", "-5M"}, "frequency"},
         }) {
        const CCommandLine refused = Parse(arguments);
        EXPECT_EQ(refused.Action(), CCommandLine::EAction::Error) << arguments.back();
        EXPECT_NE(refused.ErrorText().find(strSaid), std::string::npos) << refused.ErrorText();
    }
    EXPECT_EQ(CCommandLine::ParseHz("96k"), 96000.0);
    EXPECT_EQ(CCommandLine::ParseHz("98500000Hz"), 98.5e6);
    EXPECT_EQ(CCommandLine::ParseHz("1.5x"), 0.0);
}

}  // namespace
