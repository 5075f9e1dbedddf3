#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "generated/BuildInfo.h"
#include "tests/install/CommandRun.h"
#include "tests/support/TempDir.h"

// "cmake --install" of this build folder into a prefix of the test's own: the
// files land where a desktop, udev and man look for them, the desktop files
// pass their validators, and the installed program runs from elsewhere.
namespace {

const std::string kId = KestrelBuildInfo::kApplicationId;

// Width and height from a PNG file's header.
std::array<uint32_t, 2> PngSize(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<unsigned char, 24> header{};
    file.read(reinterpret_cast<char*>(header.data()), header.size());
    const auto word = [&](size_t n) {
        return uint32_t{header[n]} << 24 | uint32_t{header[n + 1]} << 16 |
               uint32_t{header[n + 2]} << 8 | uint32_t{header[n + 3]};
    };
    return {word(16), word(20)};
}

class InstallLayoutTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pPrefix = new CTempDir;
        s_install = CCommandRun::Run({KESTREL_CMAKE_COMMAND, "--install", KESTREL_BUILD_DIR,
                                      "--prefix", s_pPrefix->Path().string()},
                                     CCommandRun::Limit(std::chrono::seconds(300)));
    }
    static void TearDownTestSuite() {
        delete s_pPrefix;
        s_pPrefix = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_install.nStatus, 0) << s_install.strOutput; }
    static std::filesystem::path Installed(const std::string& strPath) {
        return s_pPrefix->Path() / strPath;
    }

    static CTempDir* s_pPrefix;
    static CCommandRun::SResult s_install;
};

CTempDir* InstallLayoutTest::s_pPrefix = nullptr;
CCommandRun::SResult InstallLayoutTest::s_install;

TEST_F(InstallLayoutTest, EveryFileLandsInItsPlace) {
    const std::filesystem::path program = Installed("bin/kestrel");
    ASSERT_TRUE(std::filesystem::is_regular_file(program));
    EXPECT_EQ(access(program.c_str(), X_OK), 0);
    for (const std::string& strFile :
         {std::string("share/kestrel/Language.ini"), "share/applications/" + kId + ".desktop",
          "share/metainfo/" + kId + ".metainfo.xml",
          "share/icons/hicolor/scalable/apps/" + kId + ".svg",
          std::string("share/man/man1/kestrel.1.gz"),
          std::string("lib/udev/rules.d/70-kestrel-receiver.rules"),
          std::string("lib/modprobe.d/kestrel-rtlsdr.conf")}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(Installed(strFile))) << strFile;
    }
    // The language file no longer sits in bin/.
    EXPECT_FALSE(std::filesystem::exists(Installed("bin/Language.ini")));
    for (uint32_t nSize : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string strSize = std::to_string(nSize);
        const std::filesystem::path png =
            Installed("share/icons/hicolor/" + strSize + "x" + strSize + "/apps/" + kId + ".png");
        ASSERT_TRUE(std::filesystem::is_regular_file(png)) << png;
        EXPECT_EQ(PngSize(png), (std::array<uint32_t, 2>{nSize, nSize})) << png;
    }
    // The rule lets the user at the seat open the receiver.
    std::ifstream rule(Installed("lib/udev/rules.d/70-kestrel-receiver.rules"));
    const std::string strRule{std::istreambuf_iterator<char>(rule), {}};
    EXPECT_NE(strRule.find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_NE(strRule.find("03b4"), std::string::npos);
    EXPECT_NE(strRule.find("SUBSYSTEM==\"video4linux\", KERNEL==\"radio[0-9]*\""),
              std::string::npos);
}

TEST_F(InstallLayoutTest, TheDesktopFilesPassTheirValidators) {
    ASSERT_TRUE(CCommandRun::Exists("desktop-file-validate"))
        << "desktop-file-validate is missing (package desktop-file-utils, "
           "scripts/install-deps.sh)";
    ASSERT_TRUE(CCommandRun::Exists("appstreamcli"))
        << "appstreamcli is missing (package appstream, scripts/install-deps.sh)";
    const auto desktop = CCommandRun::Run(
        {"desktop-file-validate", Installed("share/applications/" + kId + ".desktop").string()});
    EXPECT_EQ(desktop.nStatus, 0) << desktop.strOutput;
    EXPECT_EQ(desktop.strOutput, "");  // no warnings either

    const auto metainfo =
        CCommandRun::Run({"appstreamcli", "validate", "--no-net", "--explain",
                          Installed("share/metainfo/" + kId + ".metainfo.xml").string()});
    EXPECT_EQ(metainfo.nStatus, 0) << metainfo.strOutput;
    EXPECT_EQ(metainfo.strOutput.find("W: "), std::string::npos) << metainfo.strOutput;
    // The tree as a software centre reads it: metainfo, desktop entry, icon.
    const auto tree =
        CCommandRun::Run({"appstreamcli", "validate-tree", "--no-net", s_pPrefix->Path().string()});
    EXPECT_EQ(tree.nStatus, 0) << tree.strOutput;

    // The manual page formats without a complaint.
    if (CCommandRun::Exists("man")) {
        const auto page = CCommandRun::Shell("MANWIDTH=80 man --warnings -l '" +
                                             Installed("share/man/man1/kestrel.1.gz").string() +
                                             "' 2>&1 >/dev/null");
        EXPECT_EQ(page.nStatus, 0) << page.strOutput;
        EXPECT_EQ(page.strOutput, "");
        // Every exit status the command line gives is listed.
        const auto status = CCommandRun::Shell(
            "MANWIDTH=80 man -l '" + Installed("share/man/man1/kestrel.1.gz").string() +
            "' 2>/dev/null | sed -n '/^EXIT STATUS/,/^SEE ALSO/p'");
        for (const char* pCode : {"0", "1", "2", "3", "4", "5"}) {
            EXPECT_NE(status.strOutput.find(std::string("\n       ") + pCode + "      "),
                      std::string::npos)
                << pCode << " in:\n"
                << status.strOutput;
        }
    }
}

// Started from a folder without a language file, with no display: the
// command line answers before any window or back-end is made.
TEST_F(InstallLayoutTest, TheInstalledProgramAnswersVersionAndHelpFromAnywhere) {
    CTempDir elsewhere;
    CCommandRun::SOptions options = CCommandRun::Limit(std::chrono::seconds(30));
    options.folder = elsewhere.Path();
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    const auto version =
        CCommandRun::Run({Installed("bin/kestrel").string(), "--version"}, options);
    EXPECT_EQ(version.nStatus, 0) << version.strOutput;
    EXPECT_EQ(version.strOutput, std::string("Kestrel ") + KestrelBuildInfo::kVersion + "\n");

    const auto help = CCommandRun::Run({Installed("bin/kestrel").string(), "--help"}, options);
    EXPECT_EQ(help.nStatus, 0) << help.strOutput;
    EXPECT_NE(help.strOutput.find("--setup-data-source"), std::string::npos) << help.strOutput;

    const auto wrong = CCommandRun::Run({Installed("bin/kestrel").string(), "--tune"}, options);
    EXPECT_EQ(wrong.nStatus, 2) << wrong.strOutput;
    EXPECT_NE(wrong.strOutput.find("--tune"), std::string::npos) << wrong.strOutput;
}

}  // namespace
