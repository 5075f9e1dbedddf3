#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "generated/BuildInfo.h"
#include "tests/install/CommandRun.h"
#include "tests/support/TempDir.h"

// The Debian package of this build, installed into a clean Debian 12 root
// with its dependencies from Debian's archive, and started there by a user
// of that root from their home folder: offscreen, in demo mode.
//
// The root (debootstrap's minimal base plus the package's dependencies) is
// slow to make, so it is kept in a folder of this test's own and made again
// only when the package's dependencies change. Each run installs the package
// on an overlay of it, in a mount namespace of its own: nothing is mounted
// outside the run, and the kept root is never written.
namespace {

const std::string kSuite = "bookworm";
const std::string kReady = ".kestrel-test-root-ready";

std::string Environment(const char* pName, const char* pDefault) {
    const char* pValue = std::getenv(pName);
    return pValue && *pValue ? pValue : pDefault;
}

std::filesystem::path CacheFolder() {
    return Environment("KESTREL_TEST_ROOT_CACHE", "/var/cache/kestrel-test-root");
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// FNV-1a: the same name for the same dependencies on every run.
std::string Fingerprint(const std::string& strText) {
    uint64_t nHash = 14695981039346656037ull;
    for (unsigned char c : strText) {
        nHash = (nHash ^ c) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(nHash));
    return text;
}

std::string Quote(const std::string& str) {
    std::string strQuoted = "'";
    for (char c : str) {
        strQuoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return strQuoted + "'";
}

std::string Tail(const std::string& str, size_t nChars = 4000) {
    return str.size() > nChars ? "..." + str.substr(str.size() - nChars) : str;
}

class CStopwatch {
public:
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

class DebPackageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (KESTREL_SANITIZED) {
            GTEST_SKIP() << "the package is made from a build without sanitizers (the release "
                            "folder); this build folder has them";
        }
        if (geteuid() != 0) {
            GTEST_SKIP() << "making a Debian root needs root (debootstrap, chroot, mounts)";
        }
        for (const char* pTool :
             {"debootstrap", "dpkg-deb", "dpkg-shlibdeps", "unshare", "chroot", "flock"}) {
            if (!CCommandRun::Exists(pTool)) {
                GTEST_SKIP() << pTool << " is missing (scripts/install-deps.sh installs it)";
            }
        }
    }

    // The package, made by CPack into the test's folder.
    std::filesystem::path MakePackage() {
        const std::filesystem::path folder = m_work.Path() / "package";
        const CStopwatch watch;
        const auto pack = CCommandRun::Run(
            {KESTREL_CPACK_COMMAND, "-G", "DEB", "--config",
             std::string(KESTREL_BUILD_DIR) + "/CPackConfig.cmake", "-B", folder.string()},
            CCommandRun::Limit(std::chrono::seconds(900)));
        std::cout << "[ timing   ] package made in " << watch.Seconds() << " s\n";
        EXPECT_EQ(pack.nStatus, 0) << Tail(pack.strOutput);
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".deb") {
                return entry.path();
            }
        }
        ADD_FAILURE() << "CPack made no .deb: " << Tail(pack.strOutput);
        return {};
    }

    static std::string Field(const std::filesystem::path& deb, const char* pField) {
        const auto field = CCommandRun::Run({"dpkg-deb", "-f", deb.string(), pField});
        std::string strValue = field.strOutput;
        while (!strValue.empty() && (strValue.back() == '\n' || strValue.back() == ' ')) {
            strValue.pop_back();
        }
        return strValue;
    }

    // The kept root for these dependencies, made when missing. Empty, with
    // the reason in strWhy, when no root could be made (no mirror reachable).
    std::filesystem::path CleanRoot(const std::filesystem::path& deb, std::string& strWhy) {
        const std::filesystem::path cache = CacheFolder();
        const std::filesystem::path root =
            cache / (kSuite + "-" + Fingerprint(Field(deb, "Depends")));
        if (std::filesystem::exists(root / kReady)) {
            std::cout << "[ root     ] kept root " << root << "\n";
            return root;
        }
        std::filesystem::create_directories(cache);
        const std::string strMirror =
            Environment("KESTREL_TEST_DEBIAN_MIRROR", "http://deb.debian.org/debian");
        const std::string strSecurity =
            Environment("KESTREL_TEST_DEBIAN_SECURITY", "http://deb.debian.org/debian-security");
        const std::string strPartial = root.string() + ".partial";
        // Policy-rc.d keeps the packages' daemons (atd) from starting in the
        // root. The dependencies stay when the package is purged again.
        const std::string strScript =
            "set -euo pipefail\n"
            "[ -e " +
            Quote((root / kReady).string()) +
            " ] && exit 0\n"
            "rm -rf --one-file-system " +
            Quote(strPartial) +
            "\n"
            "debootstrap --variant=minbase " +
            kSuite + " " + Quote(strPartial) + " " + Quote(strMirror) +
            "\n"
            "cd " +
            Quote(strPartial) +
            "\n"
            "printf 'deb %s " +
            kSuite + " main\\ndeb %s " + kSuite +
            "-updates main\\n"
            "deb %s " +
            kSuite + "-security main\\n' " + Quote(strMirror) + " " + Quote(strMirror) + " " +
            Quote(strSecurity) +
            " > etc/apt/sources.list\n"
            "cp -L /etc/resolv.conf etc/resolv.conf\n"
            "printf '#!/bin/sh\\nexit 101\\n' > usr/sbin/policy-rc.d\n"
            "chmod 755 usr/sbin/policy-rc.d\n"
            "mount -t proc proc proc\n"
            "cp " +
            Quote(deb.string()) +
            " tmp/kestrel.deb\n"
            "export DEBIAN_FRONTEND=noninteractive\n"
            "chroot . apt-get update -qq\n"
            "chroot . apt-get install -y -qq --no-install-recommends /tmp/kestrel.deb\n"
            "chroot . dpkg --purge kestrel\n"
            "chroot . apt-get clean\n"
            "rm -f tmp/kestrel.deb\n"
            "umount proc\n"
            "touch " +
            kReady +
            "\n"
            "cd /\n"
            "mv " +
            Quote(strPartial) + " " + Quote(root.string()) +
            "\n"
            // Roots kept for other dependencies are of no more use.
            "for old in " +
            Quote(cache.string()) + "/" + kSuite +
            "-*; do\n"
            "  [ \"$old\" != " +
            Quote(root.string()) + " ] && [ -e \"$old/" + kReady +
            "\" ] &&\n"
            "    rm -rf --one-file-system \"$old\"\n"
            "done\n"
            "exit 0\n";
        const CStopwatch watch;
        const auto make = CCommandRun::Run(
            {"flock", "-w", "2400", (cache / ".lock").string(), "unshare", "--mount",
             "--propagation", "private", "--pid", "--fork", "bash", "-c", strScript},
            CCommandRun::Limit(std::chrono::seconds(2700)));
        std::cout << "[ timing   ] clean root made in " << watch.Seconds() << " s\n";
        if (make.nStatus != 0 || !std::filesystem::exists(root / kReady)) {
            strWhy = Tail(make.strOutput);
            return {};
        }
        return root;
    }

    CTempDir m_work;
};

TEST_F(DebPackageTest, TheInstalledPackageRunsInACleanDebianRoot) {
    const std::filesystem::path deb = MakePackage();
    ASSERT_FALSE(deb.empty());

    // What the package says of itself.
    EXPECT_EQ(Field(deb, "Package"), "kestrel");
    EXPECT_EQ(Field(deb, "Version"), KestrelBuildInfo::kVersion);
    const std::string strDepends = Field(deb, "Depends");
    for (const char* pNeeded :
         {"libqt6widgets6", "libc6", "at", "gstreamer1.0-plugins-good", "gstreamer1.0-plugins-ugly",
          "gstreamer1.0-libav", "libqt6sql6-odbc", "unixodbc", "libsqliteodbc",
          "fonts-ipafont-gothic", "soapysdr-module-rtlsdr", "libsoapysdr0.8"}) {
        EXPECT_NE(strDepends.find(pNeeded), std::string::npos) << pNeeded << " in " << strDepends;
    }
    const std::string strFiles = CCommandRun::Run({"dpkg-deb", "-c", deb.string()}).strOutput;
    for (const std::string& strFile :
         {std::string("./usr/bin/kestrel"), std::string("./usr/share/kestrel/Language.ini"),
          "./usr/share/applications/" + std::string(KestrelBuildInfo::kApplicationId) + ".desktop",
          std::string("./usr/lib/udev/rules.d/70-kestrel-receiver.rules"),
          std::string("./usr/lib/modprobe.d/kestrel-rtlsdr.conf"),
          std::string("./usr/share/man/man1/kestrel.1.gz")}) {
        EXPECT_NE(strFiles.find(strFile), std::string::npos) << strFile;
    }

    std::string strWhy;
    const std::filesystem::path root = CleanRoot(deb, strWhy);
    if (root.empty()) {
        GTEST_SKIP() << "no clean Debian root could be made (is Debian's archive reachable?):\n"
                     << strWhy;
    }

    // The package on an overlay of the kept root; a user of the root starts
    // it from their home, which holds no language file.
    const std::filesystem::path out = m_work.Path() / "out";
    std::filesystem::create_directories(out);
    const std::string strMerged = (m_work.Path() / "merged").string();
    const std::string strAsUser = "chroot --userspec=listener:listener " + Quote(strMerged) +
                                  " env -i HOME=/home/listener PATH=/usr/bin:/bin "
                                  "LANG=C.UTF-8 USER=listener LOGNAME=listener "
                                  "XDG_RUNTIME_DIR=/tmp/listener-runtime sh -c ";
    const std::string strScript =
        "set -euo pipefail\n"
        "cd " +
        Quote(m_work.Path().string()) +
        "\n"
        "mkdir -p upper work merged\n"
        "mount -t overlay overlay -o lowerdir=" +
        Quote(root.string()) +
        ",upperdir=upper,workdir=work merged\n"
        "mount -t proc proc merged/proc\n"
        "cp " +
        Quote(deb.string()) +
        " merged/tmp/kestrel.deb\n"
        "chroot merged dpkg -i /tmp/kestrel.deb > out/dpkg 2>&1\n"
        "chroot merged useradd -m -s /bin/sh listener\n"
        "mkdir -p -m 700 merged/tmp/listener-runtime\n"
        "chroot merged chown listener: /tmp/listener-runtime\n"
        "cp merged/usr/share/kestrel/Language.ini out/Language.ini\n" +
        strAsUser +
        "'cd && kestrel --version' > out/version 2>&1 || echo \"status $?\" >> out/version\n" +
        strAsUser +
        "'cd && KESTREL_SIMULATE=1 QT_QPA_PLATFORM=offscreen KESTREL_TRACE=1 "
        "timeout -s INT -k 5 20 kestrel' > out/run 2>&1 || true\n"
        "cp merged/home/listener/.odbc.ini out/odbc.ini 2>/dev/null || true\n" +
        strAsUser +
        "'echo \"SELECT COUNT(*) FROM Task\" | isql -b -q KestrelRadio' "
        "> out/isql 2>&1 || echo \"status $?\" >> out/isql\n";
    const CStopwatch watch;
    const auto run = CCommandRun::Run({"unshare", "--mount", "--propagation", "private", "--pid",
                                       "--fork", "bash", "-c", strScript},
                                      CCommandRun::Limit(std::chrono::seconds(600)));
    std::cout << "[ timing   ] installed and started in the root in " << watch.Seconds() << " s\n";
    ASSERT_EQ(run.nStatus, 0) << Tail(run.strOutput) << "\n" << ReadAll(out / "dpkg");

    EXPECT_EQ(ReadAll(out / "version"),
              std::string("Kestrel ") + KestrelBuildInfo::kVersion + "\n");
    const std::string strRun = ReadAll(out / "run");
    // The language file found in the data folder, with its texts.
    EXPECT_NE(strRun.find("English texts from /usr/share/kestrel/Language.ini"), std::string::npos)
        << Tail(strRun);
    const std::string strLanguage = ReadAll(out / "Language.ini");
    EXPECT_NE(strLanguage.find("[English]"), std::string::npos);
    EXPECT_NE(strLanguage.find("TIP_RECORD="), std::string::npos);
    // The data source made on the first start, with its tables.
    const std::string strIni = ReadAll(out / "odbc.ini");
    EXPECT_NE(strIni.find("[KestrelRadio]"), std::string::npos) << Tail(strRun);
    EXPECT_NE(strIni.find("Database=/home/listener/.local/share/Kestrel/KestrelRadio.db"),
              std::string::npos)
        << strIni;
    const std::string strIsql = ReadAll(out / "isql");
    EXPECT_EQ(strIsql.find("status"), std::string::npos) << strIsql;
    EXPECT_EQ(strIsql.find("ERROR"), std::string::npos) << strIsql;
}

}  // namespace
