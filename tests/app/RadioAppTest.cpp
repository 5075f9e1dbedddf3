#include <gtest/gtest.h>

#include "app/RadioApp.h"

namespace {

TEST(RadioAppTest, TaskNumberIsTheFirstPlainArgument) {
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel"}), -1);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "3"}), 3);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "-v", "7"}), 7);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "/x", "12", "13"}), 12);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "0"}), 0);
}

// Handed to a running copy as task 0, a file name stopped its recording.
TEST(RadioAppTest, TextIsNoTaskNumber) {
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "news"}), -1);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "notes.txt"}), -1);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "3rd"}), -1);
}

}  // namespace
