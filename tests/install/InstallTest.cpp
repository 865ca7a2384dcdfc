// "cmake --install" of the build tree into a staging folder (DESTDIR), and
// the installed files checked with the desktop's own validators.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BuildConfig.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"

namespace nerolin::test {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome Execute(const TempHome& home, const std::string& program, const std::vector<std::string>& arguments,
                EnvironmentChanges changes = {})
{
    changes.emplace("LC_ALL", "C.UTF-8");
    ChildProcess child(program, arguments, changes, home.root());
    const int status = child.Wait(std::chrono::seconds(120));
    return {status, child.Stdout(), child.Stderr()};
}

// A tool found on PATH, as a packager's shell would run it.
Outcome Tool(const TempHome& home, const std::vector<std::string>& words)
{
    return Execute(home, "/usr/bin/env", words);
}

// Width and height from a PNG's IHDR chunk; {0, 0} when it is no PNG.
std::pair<std::uint32_t, std::uint32_t> PngSize(const fs::path& path)
{
    std::string bytes = TempHome::ReadFile(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto number = [&](std::size_t at) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
        return value;
    };
    return {number(16), number(20)};
}

// One staged installation for every test of the suite.
class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        home_ = new TempHome;
        stage_ = home_->root() / "stage";
        installRun_ = new Outcome(
            Execute(*home_, NEROLIN_CMAKE_COMMAND, {"--install", NEROLIN_BINARY_DIR}, {{"DESTDIR", stage_.string()}}));
        prefix_ = stage_ / fs::path(NEROLIN_INSTALL_PREFIX).relative_path();
    }
    static void TearDownTestSuite()
    {
        delete installRun_;
        delete home_;
    }
    void SetUp() override { ASSERT_EQ(installRun_->status, 0) << installRun_->out << installRun_->err; }

    static fs::path Installed(const std::string& relative) { return prefix_ / relative; }

    static inline TempHome* home_ = nullptr;
    static inline Outcome* installRun_ = nullptr;
    static inline fs::path stage_;
    static inline fs::path prefix_;
};

TEST_F(InstallTest, PutsEveryFileWhereTheDesktopLooksForIt)
{
    for (const char* program : {"bin/nerolin", "bin/nerolin-tool", "bin/nerolin-devservice"}) {
        const fs::path path = Installed(program);
        EXPECT_TRUE(fs::is_regular_file(path)) << path;
        EXPECT_NE(fs::status(path).permissions() & fs::perms::others_exec, fs::perms::none) << path;
    }
    for (const char* file :
         {"share/applications/nerolin.desktop", "share/metainfo/com.tavorel.Nerolin.metainfo.xml",
          "share/icons/hicolor/scalable/apps/nerolin.svg", "share/man/man1/nerolin.1", "share/man/man1/nerolin-tool.1",
          "share/man/man1/nerolin-devservice.1", "share/doc/nerolin/LICENSE", "share/doc/nerolin/THIRD-PARTY-NOTICES",
          "share/nerolin-devservice/pki/service/service-ca.pem"})
        EXPECT_TRUE(fs::is_regular_file(Installed(file))) << file;
    for (std::uint32_t size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string edge = std::to_string(size);
        const fs::path png = Installed("share/icons/hicolor/" + edge + "x" + edge + "/apps/nerolin.png");
        EXPECT_EQ(PngSize(png), std::make_pair(size, size)) << png;
    }
}

TEST_F(InstallTest, TheDesktopEntryStartsTheInstalledProgramForYendoLinks)
{
    const fs::path entry = Installed("share/applications/nerolin.desktop");
    Outcome validate = Tool(*home_, {"desktop-file-validate", entry.string()});
    EXPECT_EQ(validate.status, 0) << validate.out << validate.err;
    EXPECT_EQ(validate.out + validate.err, "");

    const std::string text = TempHome::ReadFile(entry);
    std::smatch exec;
    ASSERT_TRUE(std::regex_search(text, exec, std::regex("\nExec=(\\S+) %u\n"))) << text;
    // The program the entry names is the one this installation put there.
    EXPECT_TRUE(fs::equivalent(stage_ / fs::path(exec[1].str()).relative_path(), Installed("bin/nerolin"))) << exec[1];
    EXPECT_NE(text.find("\nMimeType=x-scheme-handler/yendo;\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nIcon=nerolin\n"), std::string::npos) << text;
}

TEST_F(InstallTest, MetadataAndManualPagesPassTheirValidators)
{
    Outcome appstream = Tool(*home_, {"appstreamcli", "validate", "--no-net", "--pedantic",
                                      Installed("share/metainfo/com.tavorel.Nerolin.metainfo.xml").string()});
    EXPECT_EQ(appstream.status, 0) << appstream.out << appstream.err;
    EXPECT_NE(TempHome::ReadFile(Installed("share/metainfo/com.tavorel.Nerolin.metainfo.xml"))
                  .find(std::string("<release version=\"") + build::kVersion + "\""),
              std::string::npos);

    for (const char* page : {"nerolin.1", "nerolin-tool.1", "nerolin-devservice.1"}) {
        Outcome man =
            Tool(*home_, {"man", "--warnings", "-l", Installed(std::string("share/man/man1/") + page).string()});
        EXPECT_EQ(man.status, 0) << page << man.err;
        EXPECT_EQ(man.err, "") << page;
        EXPECT_NE(man.out.find("SYNOPSIS"), std::string::npos) << page;
    }
}

// --help and --version print and end before anything else: no display, no
// settings, no event log, and only as the first parameter.
TEST_F(InstallTest, ProgramsAnswerHelpAndVersionWithoutADisplay)
{
    const std::string version = build::kVersion;
    struct Case {
        std::string program;
        std::vector<std::string> arguments;
        std::string outStart;
    };
    const Case cases[] = {
        {"nerolin", {"--help"}, "usage: nerolin [LINK]\n"},
        {"nerolin", {"--version", "-Register"}, "nerolin " + version + "\n"},
        {"nerolin-tool", {"--help"}, "usage: nerolin-tool <command> [arguments]\n"},
        {"nerolin-tool", {"--version"}, "nerolin-tool " + version + "\n"},
        {"nerolin-devservice", {"--help"}, "usage: nerolin-devservice "},
        {"nerolin-devservice", {"--version"}, "nerolin-devservice " + version + "\n"},
    };
    for (const Case& c : cases) {
        TempHome home;
        EnvironmentChanges changes = NoDisplay();
        Outcome run = Execute(home, Installed("bin/" + c.program).string(), c.arguments, changes);
        EXPECT_EQ(run.status, 0) << c.program << ' ' << c.arguments[0] << run.err;
        EXPECT_EQ(run.out.rfind(c.outStart, 0), 0u) << c.program << ' ' << c.arguments[0] << ":\n" << run.out;
        EXPECT_EQ(run.err, "") << c.program << ' ' << c.arguments[0];
        EXPECT_FALSE(fs::exists(home.root() / "home/.local/state/Tavorel")) << c.program << " wrote its event log";
        EXPECT_FALSE(fs::exists(home.root() / "home/.local/share/applications")) << c.program << " registered";
    }

    // Not a flag of the written set: the single-dash form stays unknown, and
    // a link before --help is a link.
    TempHome home;
    Outcome single = Execute(home, Installed("bin/nerolin").string(), {"-help"}, NoDisplay());
    EXPECT_EQ(single.status, 1);
    EXPECT_EQ(single.err, "Nerolin: Unknown flag!\n");
    Outcome link = Execute(home, Installed("bin/nerolin").string(), {"yendo:", "--help"}, NoDisplay());
    EXPECT_EQ(link.out, "");
    EXPECT_NE(link.err.find("Bad request!"), std::string::npos) << link.err;
}

TEST_F(InstallTest, TheInstalledServiceServesTheInstalledPki)
{
    Outcome service = Execute(*home_, Installed("bin/nerolin-devservice").string(),
                              {"--whitelist-port", "0", "--service-port", "0", "--exit-with-stdin"});
    EXPECT_EQ(service.status, 0) << service.err;
    const fs::path pki = Installed("share/nerolin-devservice/pki");
    EXPECT_EQ(service.out.rfind("SSL_CERT_FILE=" + (pki / "service/service-ca.pem").string() + "\n", 0), 0u)
        << service.out;
    EXPECT_NE(service.out.find("\nready\n"), std::string::npos) << service.out;
}

TEST(PackageVersion, DebianChangelogNamesThisVersion)
{
    std::ifstream changelog(NEROLIN_SOURCE_DIR "/debian/changelog");
    std::string first;
    std::getline(changelog, first);
    EXPECT_EQ(first.rfind(std::string("nerolin (") + build::kVersion + ") ", 0), 0u) << first;
}

}  // namespace
}  // namespace nerolin::test
