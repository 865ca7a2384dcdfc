// An update's own version as the Windows updater reads it: an MSI's
// ProductVersion through the Windows Installer, from a path in any letters.

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "app/updater/PackageInstaller.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

TEST(PackageVersion, AnMsiGivesItsProductVersionAndAnythingElseNone)
{
    const fs::path folder = fs::temp_directory_path() / fs::u8path("nerolin-frissítés-ő");
    fs::remove_all(folder);
    fs::create_directories(folder);
    // The updater's paths are UTF-8: a user folder with accents must not hide the package.
    const fs::path msi = folder / fs::u8path("csomag-ű.msi");
    fs::copy_file(NEROLIN_VERSION_FIXTURE, msi);
    EXPECT_EQ(PackageVersion(Utf8(msi)), "2.5.7");
    EXPECT_EQ(PackageVersion(Utf8(fs::path(NEROLIN_VERSION_FIXTURE).generic_string())), "2.5.7") << "forward slashes";

    // A signed file of another kind (a Debian package, a renamed text) has no version here.
    const fs::path other = folder / "nerolin-1.0.30.msi";
    std::ofstream(other) << "!<arch>\ndebian-binary   ";
    EXPECT_EQ(PackageVersion(Utf8(other)), std::nullopt);
    EXPECT_EQ(PackageVersion(Utf8(folder / "missing.msi")), std::nullopt);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace nerolin::test
