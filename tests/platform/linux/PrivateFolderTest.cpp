// The session socket's folder in /tmp when there is no runtime folder: used
// only when it is this user's alone.
#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

void Folder(const fs::path& path, mode_t mode)
{
    fs::create_directory(path);
    ::chmod(path.c_str(), mode);
}

TEST(PrivateFolder, IsMadePrivateOrRefusedWhenSomeoneElseCouldUseIt)
{
    TempHome home;
    const fs::path base = home.root() / "tmp";
    fs::create_directories(base);
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> prepare;
        const char* refusal;  // nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"missing", [](const fs::path&) {}, nullptr},
        {"private", [](const fs::path& p) { Folder(p, 0700); }, nullptr},
        {"readable by others", [](const fs::path& p) { Folder(p, 0755); }, nullptr},
        {"writable by the group", [](const fs::path& p) { Folder(p, 0770); }, "may be written by other users"},
        {"writable by all, as /tmp is", [](const fs::path& p) { Folder(p, 01777); }, "may be written by other users"},
        {"a link to a private folder",
         [&](const fs::path& p) {
             Folder(base / "elsewhere", 0700);
             fs::create_directory_symlink(base / "elsewhere", p);
         },
         "is a symbolic link"},
        {"a file", [](const fs::path& p) { TempHome::WriteFile(p, "x"); }, "is not a folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = base / (std::string("nerolin-") + std::to_string(&c - cases.data()));
        c.prepare(folder);
        std::string refusal;
        EXPECT_EQ(MakePrivateFolder(folder.string(), refusal), c.refusal == nullptr) << refusal;
        EXPECT_EQ(refusal, c.refusal ? c.refusal : "");
        if (!c.refusal) {
            struct stat found {};
            ASSERT_EQ(::lstat(folder.c_str(), &found), 0);
            EXPECT_TRUE(S_ISDIR(found.st_mode));
        }
    }
    EXPECT_EQ(fs::status(base / "nerolin-0").permissions(), fs::perms::owner_all);  // made 0700

    // Another user's folder: only the superuser can make one here.
    if (::geteuid() == 0) {
        const fs::path theirs = base / "nerolin-theirs";
        Folder(theirs, 0700);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        std::string refusal;
        EXPECT_FALSE(MakePrivateFolder(theirs.string(), refusal));
        EXPECT_EQ(refusal, "belongs to user 65534");
    }
}

}  // namespace
}  // namespace nerolin::test
