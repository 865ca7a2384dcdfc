// The start-up of the real program: flags, links, the registration check
// and its events, run as child processes in a temporary home without any
// display (each message box is then one "Nerolin: " line on stderr).

#include <gtest/gtest.h>

#include "BuildConfig.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"
#include "platform/DesktopEntry.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempHome.h"
#include "tests/support/Xvfb.h"

namespace nerolin::test {
namespace {

const std::string kNerolin = NEROLIN_BINARY_DIR "/bin/nerolin";
const std::string kNoWindow = "Nerolin: no display; the main window cannot be shown\n";
// A TEST link runs its exchanges; with the whitelist host pointed at a closed
// port its run ends at the whitelist download, which shows that the words were
// read as a link.
const std::string kClosedWhitelistUrl = "https://127.0.0.1:1/whitelist/whitelist.json";
const std::string kWhitelistRefused =
    "Nerolin: The server could not be reached.\nNerolin: Failed to download the list of the allowed proxy "
    "servers!\n";

class StartupTest : public ::testing::Test {
protected:
    TempHome home;

    struct Run {
        int status;
        std::string stderrText;
    };
    // A run without any display; changes come on top.
    Run Start(const std::vector<std::string>& arguments, const EnvironmentChanges& changes = {})
    {
        EnvironmentChanges environment = NoDisplay();
        environment["NEROLIN_TEST_WHITELIST_URL"] = kClosedWhitelistUrl;
        for (const auto& [name, value] : changes) environment[name] = value;
        ChildProcess child(kNerolin, arguments, environment, home.root());
        int status = child.Wait();
        return {status, child.Stderr()};
    }

    // Texts of the program's event entries, oldest first, without the
    // marker of a development build.
    std::vector<std::string> Events()
    {
        std::vector<std::string> texts;
        auto store = EventStore::OpenForReading(DefaultEventStorePath());
        if (!store) return texts;
        auto entries = store->ReadNewestFirst("Nerolin");
        for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
            std::string text = entry->strings.empty() ? "" : entry->strings.front();
            if (text != "development build") texts.push_back(text);
        }
        return texts;
    }
};

TEST_F(StartupTest, FlagsAndLinksEndWithTheirMessageAndStatus)
{
    const std::string testLink =
        "yendo:%7B%22sessionUrl%22:%22https://service.example/s%22,%22sessionId%22:%22q%22,%22mode%22:%22TEST%22%7D";
    struct Case {
        std::vector<std::string> arguments;
        std::string stderrText;
        int status;
    };
    const Case cases[] = {
        {{"-register"}, "Nerolin: Unknown flag!\n", 1},  // flag names are case-sensitive
        {{"/restart", "-Register"}, "Nerolin: Unknown flag!\n", 1},
        {{"-SetProxyLocalMachine"}, "", 0},  // no machine file: ends silently
        {{"YENDO:%7B%7D"}, "Nerolin: Invalid URI!\n" + kNoWindow, 1},
        {{" yendo:{}"}, "Nerolin: Invalid URI!\n" + kNoWindow, 1},
        {{"yendo:"}, "Nerolin: Bad request!\n" + kNoWindow, 1},
        {{"yendo:%7B%22sessionUrl%22:%22u%22,%22sessionId%22:%22%22%7D"}, "Nerolin: Bad request!\n" + kNoWindow, 1},
        // Nested deeper than any reader goes, and text after a zero byte.
        {{"yendo:" + std::string(130000, '[')}, "Nerolin: Bad request!\n" + kNoWindow, 1},
        {{testLink + "%00trailing garbage"}, "Nerolin: Bad request!\n" + kNoWindow, 1},
        {{testLink, "-Register"}, kWhitelistRefused, 1},  // a link first: handled as a link, the flag is ignored
        {{R"("yendo:{"sessionUrl":"https://s.example","sessionId":"q","mode":"TEST"}")"}, kWhitelistRefused, 1},
        {{R"(yendo:{"sessionUrl":"https://s.example","sessionId":"q","mode":"TEST"})"}, kWhitelistRefused, 1},
        // The session address itself cannot be read (a blank in its host): its
        // own message, not the whitelist's.
        {{R"(yendo:{"sessionUrl":"https://s ex.example/a","sessionId":"q","mode":"TEST"})"}, "Nerolin: Bad URL!\n", 1},
        {{}, kNoWindow, 1},
        {{""}, kNoWindow, 1},
    };
    for (const Case& c : cases) {
        Run run = Start(c.arguments);
        std::string words;
        for (const std::string& argument : c.arguments) words += "[" + argument + "] ";
        EXPECT_EQ(run.stderrText, c.stderrText) << words;
        EXPECT_EQ(run.status, c.status) << words;
    }
    EXPECT_FALSE(std::filesystem::exists(UserDesktopEntryPath()));
    EXPECT_FALSE(std::filesystem::exists(home.MachineSettings()));
}

TEST_F(StartupTest, AnEventLogThatCannotBeKeptIsSaidOnceAndTheRunGoesOn)
{
    // Not even root may make a folder there.
    const Run run = Start({}, {{"XDG_STATE_HOME", "/proc/nerolin-state"}});
    EXPECT_EQ(run.stderrText,
              "Nerolin: The event log cannot be kept: its folder cannot be written. Nerolin works on without it.\n" +
                  kNoWindow);
    EXPECT_EQ(run.status, 1);
}

TEST_F(StartupTest, ADisplayThatCannotBeReachedIsNoDisplayAtAll)
{
    const std::string testLink = R"(yendo:{"sessionUrl":"https://s.example","sessionId":"q","mode":"TEST"})";
    // Nothing listens there: an X display or a Wayland socket that is gone.
    const EnvironmentChanges deadDisplays[] = {
        {{"DISPLAY", ":9999"}},
        {{"DISPLAY", "127.0.0.1:9999"}},
        {{"WAYLAND_DISPLAY", "wayland-gone"}},
        {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":9999"}},
    };
    struct Case {
        std::vector<std::string> arguments;
        std::string stderrText;
        int status;
    };
    const Case cases[] = {
        {{"-Register"}, "", 0},  // needs no display, and registers
        {{testLink}, kWhitelistRefused, 1},
        {{}, kNoWindow, 1},
        {{"-reverse"}, "Nerolin: Unknown flag!\n", 1},
    };
    for (const EnvironmentChanges& display : deadDisplays) {
        for (const Case& c : cases) {
            std::filesystem::remove(UserDesktopEntryPath());
            Run run = Start(c.arguments, display);
            SCOPED_TRACE(display.begin()->first + "=" + display.begin()->second.value_or("") + " " +
                         (c.arguments.empty() ? "" : c.arguments.front()));
            EXPECT_EQ(run.stderrText, c.stderrText);
            EXPECT_EQ(run.status, c.status);  // never Qt's abort
            EXPECT_EQ(std::filesystem::exists(UserDesktopEntryPath()),
                      c.arguments == std::vector<std::string>{"-Register"});
        }
    }
    // The line is in the user's language.
    EXPECT_EQ(Start({}, {{"DISPLAY", ":9999"}, {"LANGUAGE", "hu"}}).stderrText,
              "Nerolin: nincs kijelz\xC5\x91; a f\xC5\x91"
              "ablak nem jelen\xC3\xADthet\xC5\x91 meg\n");
}

TEST_F(StartupTest, QtsOwnOptionsAreUnknownFlagsOnARealDisplay)
{
    if (!build::kDevelopmentBuild) GTEST_SKIP() << "the scripted prompts exist in development builds only";
    Xvfb server(home.root());
    ASSERT_FALSE(server.Display().empty()) << "Xvfb did not start";
    const std::string transcript = (home.root() / "transcript").string();
    TempHome::WriteFile(home.root() / "answers", "");
    const std::vector<std::vector<std::string>> options = {
        {"-reverse"}, {"-qwindowtitle", "x"}, {"-widgetcount"}, {"-style", "fusion"}, {"-platform", "offscreen"},
    };
    for (const auto& arguments : options) {
        SCOPED_TRACE(arguments.front());
        std::filesystem::remove(transcript);
        Run run = Start(arguments, {{"DISPLAY", server.Display()},
                                    {"NEROLIN_TEST_PROMPTS", (home.root() / "answers").string()},
                                    {"NEROLIN_TEST_TRANSCRIPT", transcript}});
        EXPECT_EQ(run.status, 1);
        // The message went to the display's prompts, not to the console.
        EXPECT_EQ(TempHome::ReadFile(transcript), "message error Unknown flag!\n");
        EXPECT_EQ(run.stderrText, "");
    }
}

TEST_F(StartupTest, AFirstStartWithoutRegistrationWritesOneEventAndNoMessage)
{
    Run run = Start({});
    EXPECT_EQ(run.stderrText, kNoWindow);
    EXPECT_EQ(Events(), std::vector<std::string>{"can't read yendo key"});

    // A development build says so in its entries; a production build does not.
    auto store = EventStore::OpenForReading(DefaultEventStorePath());
    ASSERT_TRUE(store);
    auto entries = store->ReadNewestFirst("Nerolin");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().strings.front() == "development build", build::kDevelopmentBuild);
}

TEST_F(StartupTest, RegisterWritesAnEntryThatTheCheckAcceptsAndUnregisterRemovesIt)
{
    Run registered = Start({"/Register", "further", "words"});
    EXPECT_EQ(registered.status, 0);
    EXPECT_EQ(registered.stderrText, "");
    std::string entry = TempHome::ReadFile(UserDesktopEntryPath());
    EXPECT_NE(entry.find("\nExec=" + kNerolin + " %u\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=x-scheme-handler/yendo;\n"), std::string::npos) << entry;
    EXPECT_NE(TempHome::ReadFile(home.root() / "home/.config/mimeapps.list")
                  .find("[Default Applications]\nx-scheme-handler/yendo=nerolin.desktop;\n"),
              std::string::npos);

    EXPECT_EQ(Start({}).stderrText, kNoWindow);  // no 129
    EXPECT_EQ(Events(), std::vector<std::string>{});

    Run unregistered = Start({"-Unregister"});
    EXPECT_EQ(unregistered.status, 0);
    EXPECT_EQ(unregistered.stderrText, "");
    EXPECT_FALSE(std::filesystem::exists(UserDesktopEntryPath()));
    EXPECT_EQ(TempHome::ReadFile(home.root() / "home/.config/mimeapps.list").find("yendo"), std::string::npos);
    EXPECT_EQ(Start({"-Unregister"}).status, 0);  // nothing left to remove is no failure
}

TEST_F(StartupTest, AWrongEntryIsReportedByEventsAndOneMessage)
{
    const std::string good = "[Desktop Entry]\nType=Application\nName=Nerolin\nExec=" + kNerolin +
                             " %u\nMimeType=text/plain;x-scheme-handler/yendo;\n";
    struct Case {
        std::string from, to;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"", "", {}},
        {"Exec=" + kNerolin, "Exec=\"" + kNerolin + "\"", {}},  // quoting makes no difference
        {"Type=Application", "Type=Link", {"bad value for yendo"}},
        {"[Desktop Entry]",
         "[Desktop Action]",
         {"bad value for yendo", "bad value for yendo\\URL Protocol", "can't read yendo\\shell\\open\\command key"}},
        {"x-scheme-handler/yendo;", "x-scheme-handler/yendox;", {"bad value for yendo\\URL Protocol"}},
        {"Exec=", "TryExec=", {"can't read yendo\\shell\\open\\command key"}},
        {" %u", " %f", {"bad value for yendo\\shell\\open\\command"}},
        {" %u", " %u --extra", {"bad value for yendo\\shell\\open\\command"}},
        {"Exec=" + kNerolin, "Exec=/usr/bin/true", {"bad value for yendo\\shell\\open\\command"}},
    };
    TempHome::WriteFile(home.root() / "home/.config/mimeapps.list",
                        "[Default Applications]\nx-scheme-handler/yendo=other.desktop;nerolin.desktop;\n");
    for (const Case& c : cases) {
        std::string text = good;
        if (!c.from.empty()) text.replace(text.find(c.from), c.from.size(), c.to);
        TempHome::WriteFile(UserDesktopEntryPath(), text);
        std::filesystem::remove(DefaultEventStorePath());
        Run run = Start({});
        EXPECT_EQ(Events(), c.events) << c.to;
        EXPECT_EQ(run.stderrText,
                  (c.events.empty() ? "" : "Nerolin: The application is registered not correctly!\n") + kNoWindow)
            << c.to;
    }
}

TEST_F(StartupTest, ASystemWideEntryFoundOnThePathPassesTheCheck)
{
    // As a package installs it: the program by name, the default set by the system.
    TempHome::WriteFile(home.root() / "usr/share/applications/nerolin.desktop",
                        "[Desktop Entry]\nType=Application\nName=Nerolin\nExec=nerolin %u\n"
                        "MimeType=x-scheme-handler/yendo;\n");
    TempHome::WriteFile(home.root() / "etc/mimeapps.list",
                        "[Default Applications]\nx-scheme-handler/yendo=nerolin.desktop\n");
    EnvironmentChanges environment = NoDisplay();
    environment["PATH"] = std::string(NEROLIN_BINARY_DIR "/bin:") + std::getenv("PATH");
    ChildProcess child(kNerolin, {}, environment, home.root());
    EXPECT_EQ(child.Wait(), 1);
    EXPECT_EQ(child.Stderr(), kNoWindow);
    EXPECT_EQ(Events(), std::vector<std::string>{});
}

}  // namespace
}  // namespace nerolin::test
