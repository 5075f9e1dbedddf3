#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "settings/Language.h"

namespace {

// Every key a window or a message box asks for.
constexpr const char* kKeys =
    "TIP_P_PERV TIP_P_NEXT TIP_SPERV TIP_SNEXT TIP_RECORD TIP_SETTING TIP_MUSIC TIP_KEYSET "
    "TIP_TASK TIP_PAGE_NEXT TIP_PAGE_PREV TIP_MUTE TIP_FINE_UP TIP_FINE_DOWN BI_WINTITLE BI_MODEL "
    "BI_KEY BI_FREQUENCY BI_TITLE BI_APPLY BI_DELETE BI_QUIT BI_SET BI_NEW_SET BI_SCAN BI_IMPORT "
    "BI_EXPORT BI_IMPORT_CHANGES BI_IMPORT_CONFIRM BI_IMPORT_CANCEL SC_WINTITLE SC_READY "
    "SC_STORE_FREE SC_STORE_PAGE SC_STORE_BAND SC_SCAN SC_STOP SC_STORE SC_CLOSE SC_FREQUENCY "
    "SC_SIGNAL SC_STEREO SC_NAME SC_RESULTS SC_PROGRESS SC_FOUND SC_STATIONS SC_STOPPED "
    "SC_CANNOT SC_RECORDING SC_YES SC_NO SC_CONFIRM SC_REPLACE SC_CANCEL SC_STORED "
    "PL_WINTITLE PL_CHANNEL PL_BEGINTIME PL_DURATION PL_STATION PL_MEMO PL_SEARCH OP_WINTITLE "
    "OP_STANDARD OP_SCANLEVEL "
    "OP_INPUTDEVICE OP_INPUTPORT OP_RECORDTYPE OP_RECORDQUALITY OP_RECORDPATH OP_NAMEPATTERN "
    "OP_NAMEPATTERN_TIP ALL_OK ALL_CANCLE "
    "OP_STAND_EURO OP_STAND_JAPAN OP_STAND_USA OP_SCANLEVEL_HIGH OP_SCANLEVEL_MIDDLE "
    "OP_SCANLEVEL_LOW OP_RECORDQUALITY_NORMAL OP_RECORDQUALITY_GOOD OP_RECORDQUALITY_BEST "
    "OP_LANGUAGE_1 OP_LANGUAGE_2 NA_WINTITLE NA_BEGINTIME NA_ENDTIME NA_CHANNEL NA_FREQUENCY "
    "NA_MEMO NA_MUTE NA_EDITTITLE NA_REPEAT NA_REPEAT_ONCE NA_REPEAT_DAILY NA_REPEAT_WEEKDAYS "
    "NA_REPEAT_WEEKLY NA_REPEAT_DAYS NA_REPEAT_EVERY NA_EVERY_DAYS NA_DAYS NA_DAY_LETTERS "
    "NA_DAY_NAMES "
    "NA_UNTIL NA_TIMES NA_PAD_BEFORE NA_PAD_AFTER NA_ENABLED NA_KEEP_LAST NA_KEEP_DAYS TA_WINTITLE "
    "TA_NEW TA_DELETE TA_EDIT "
    "TA_COPY TA_ENABLE TA_DISABLE TA_REPEAT TA_CONFLICT TA_DISABLED ALL_QUIT "
    "ALL_FREQUENCY TA_BEGINTIME "
    "TA_DURATION TA_MEMO TA_OUTCOME TA_RECORDED TA_PARTIAL TA_MISSED TA_FAILED MESSAGE_3 MESSAGE_4 "
    "MESSAGE_5 MESSAGE_6 MESSAGE_8 MESSAGE_9 MESSAGE_10 "
    "MESSAGE_11 MESSAGE_12 MESSAGE_13 MESSAGE_14 MESSAGE_15 MESSAGE_16 MESSAGE_17 MESSAGE_18 "
    "MESSAGE_19 MESSAGE_20 MESSAGE_21 MESSAGE_22 MESSAGE_23 MESSAGE_24 MESSAGE_25 MESSAGE_26 "
    "MESSAGE_27 MESSAGE_28 MESSAGE_29 MESSAGE_30 MESSAGE_40 MESSAGE_41 "
    "MESSAGE_42 MESSAGE_43 MESSAGE_44 MESSAGE_45 MESSAGE_46 MESSAGE_47 MESSAGE_48 MESSAGE_49 "
    "MESSAGE_50 MESSAGE_51 MESSAGE_52 MESSAGE_53 MESSAGE_60 MESSAGE_61 MESSAGE_62 MESSAGE_63 "
    "MESSAGE_64 "
    "MESSAGE_65 MESSAGE_66 MESSAGE_67 MESSAGE_68 MESSAGE_69 MESSAGE_70 MESSAGE_71 MESSAGE_72 "
    "MESSAGE_73";

size_t Characters(const std::string& text) {
    size_t nCount = 0;
    for (char c : text) {
        nCount += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return nCount;
}

// The message keys a section of the shipped file holds, as its lines read.
std::set<std::string> MessageKeys(const std::string& strSection) {
    std::ifstream file(KESTREL_SHIPPED_LANGUAGE);
    std::set<std::string> keys;
    std::string strCurrent;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.front() == '[') {
            strCurrent = line.substr(1, line.find(']') - 1);
        } else if (strCurrent == strSection && line.rfind("MESSAGE_", 0) == 0) {
            keys.insert(line.substr(0, line.find('=')));
        }
    }
    return keys;
}

// The copy the build puts beside the program, which is the file that runs.
TEST(ShippedLanguageTest, EveryLanguageHasEveryText) {
    CLanguage language(KESTREL_SHIPPED_LANGUAGE);
    EXPECT_EQ(language.ReadInt("Language", "TOTAL", 0), 2);
    EXPECT_EQ(language.ReadString("Language", "LANGUAGE_1"), "English");
    EXPECT_EQ(language.ReadString("Language", "LANGUAGE_2"), "Japanese");

    for (const char* section : {"English", "Japanese"}) {
        std::istringstream keys(kKeys);
        for (std::string key; keys >> key;) {
            const std::string value = language.ReadString(section, key);
            EXPECT_FALSE(value.empty()) << section << "/" << key;
            // A value at the cut would have lost its end.
            EXPECT_LT(Characters(value), CLanguage::kMaxText) << section << "/" << key;
        }
    }
    for (const char* section : {"LANGUAGE_1", "LANGUAGE_2"}) {
        EXPECT_FALSE(language.ReadString(section, "MESSAGE_4").empty()) << section;
        // The Linux text names the packages that bring the WMA encoder and muxer.
        const std::string message = language.ReadString(section, "MESSAGE_3");
        EXPECT_NE(message.find("gstreamer1.0-libav"), std::string::npos) << section;
        EXPECT_NE(message.find("gstreamer1.0-plugins-bad"), std::string::npos) << section;
    }
}

// A message added in one language is there in the other.
TEST(ShippedLanguageTest, BothLanguagesHaveTheSameMessages) {
    const std::set<std::string> english = MessageKeys("English");
    EXPECT_EQ(english, MessageKeys("Japanese"));
    EXPECT_GE(english.size(), 18u);
}

}  // namespace
