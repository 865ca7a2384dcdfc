// A package's own version, read by dpkg-deb, and the hand-over to the
// system's installer, which tells a failure: xdg-open stands in as a script
// on PATH that ends as a real one does.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/updater/PackageInstaller.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

TEST(PackageInstaller, TheVersionOfADebianPackageAndOfAnythingElse)
{
    TempHome home;
    const fs::path tree = home.root() / "pkg";
    fs::create_directories(tree / "DEBIAN");
    std::ofstream(tree / "DEBIAN/control") << "Package: nerolin\nVersion: 1:1.0.30-2\nArchitecture: all\n"
                                              "Maintainer: Tests <tests@example.org>\nDescription: test\n";
    const std::string deb = (home.root() / "nerolin.deb").string();
    const std::string build = "dpkg-deb --root-owner-group -Zgzip --build " + tree.string() + " " + deb;
    ASSERT_EQ(std::system((build + " >/dev/null 2>&1").c_str()), 0) << build;
    EXPECT_EQ(PackageVersion(deb), "1:1.0.30-2");

    const std::string other = (home.root() / "nerolin.tar.gz").string();
    std::ofstream(other) << "not a package";
    EXPECT_EQ(PackageVersion(other), std::nullopt);
    EXPECT_EQ(PackageVersion((home.root() / "missing.deb").string()), std::nullopt);
}

TEST(PackageInstaller, AHandOverTellsWhetherTheSystemTookThePackage)
{
    TempHome home;
    const fs::path bin = home.root() / "bin";
    fs::create_directories(bin);
    const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + savedPath).c_str(), 1);
    struct Case {
        const char* name;
        const char* script;
        bool handed;
    };
    const Case cases[] = {
        {"opened", "exit 0", true},
        {"no program for the file", "exit 3", false},
        {"the program failed", "exit 4", false},
        {"still with the installer", "exec sleep 5", true},
    };
    for (const Case& c : cases) {
        const fs::path opener = bin / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\n" << c.script << "\n";
        fs::permissions(opener, fs::perms::owner_all);
        // The installer still runs after the bound, or it has ended well:
        // either way the package was taken.
        const auto bound = std::string(c.name) == "still with the installer" ? std::chrono::milliseconds(300)
                                                                             : std::chrono::seconds(60);
        EXPECT_EQ(HandToInstaller("/tmp/nerolin-1.0.30.deb", bound), c.handed) << c.name;
    }
    fs::remove(bin / "xdg-open");
    setenv("PATH", bin.string().c_str(), 1);
    EXPECT_FALSE(HandToInstaller("/tmp/nerolin-1.0.30.deb", std::chrono::seconds(60))) << "no xdg-open at all";
    setenv("PATH", savedPath.c_str(), 1);
}

}  // namespace
}  // namespace nerolin::test
