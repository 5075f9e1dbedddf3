#include <gtest/gtest.h>

#include "app/RadioApp.h"

namespace {

TEST(RadioAppTest, TaskNumberIsTheFirstPlainArgument) {
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel"}), -1);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "3"}), 3);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "-v", "7"}), 7);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "/x", "12", "13"}), 12);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "news"}), 0);
    EXPECT_EQ(CRadioApp::TaskNumber({"kestrel", "0"}), 0);
}

}  // namespace
