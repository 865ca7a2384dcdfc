#include "eventlog/EventLog.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "common/UserPrompts.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStore.h"
#include "tests/eventlog/TempFolder.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin {
namespace {

class EventLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterEventSource(path_);
        SetUserPrompts(prompts_);
    }
    void TearDown() override { SetUserPrompts(nullptr); }

    std::vector<StoredEntry> Entries()
    {
        FlushEventLog();
        auto store = EventStore::OpenForReading(path_);
        return store ? store->ReadNewestFirst("Nerolin") : std::vector<StoredEntry>{};
    }

    test::TempFolder folder_;
    std::string path_ = folder_.Path("eventlog.sqlite");
    std::shared_ptr<test::ScriptedPrompts> prompts_ = std::make_shared<test::ScriptedPrompts>();
};

TEST_F(EventLog, ReportSystemErrorWritesNameAndCodeTwice)
{
    struct Case {
        const char* name;
        std::uint32_t code;
        const char* text;
    };
    const Case cases[] = {
        {"CertOpenStore", 5, "CertOpenStore error: 5 (0x00000005)"},
        {"SCardEstablishContext", 0x8010006B, "SCardEstablishContext error: -2146434965 (0x8010006B)"},
        {"malloc", 0, "malloc error: 0 (0x00000000)"},
        {"PK11_Sign", 0xFFFFFFFF, "PK11_Sign error: -1 (0xFFFFFFFF)"},
    };
    for (const auto& c : cases) ReportSystemError(c.name, c.code, true, "ignored");
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& entry = entries[std::size(cases) - 1 - i];
        EXPECT_EQ(entry.type, 1);
        EXPECT_EQ(entry.strings, std::vector<std::string>{cases[i].text});
    }
    EXPECT_TRUE(prompts_->Recorded().empty());  // quiet: no box
}

TEST_F(EventLog, ReportSystemErrorShowsOnlyTheLibraryTextUnlessQuiet)
{
    ReportSystemError("open", 13, false, "Permission denied");
    ReportSystemError("open", 2, false, "");  // no text for the code: the box is still shown
    const auto recorded = prompts_->Recorded();
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].text, "Permission denied");
    EXPECT_EQ(recorded[0].icon, MessageIcon::Error);
    EXPECT_EQ(recorded[1].text, "");
    EXPECT_EQ(Entries().size(), 2u);
}

TEST_F(EventLog, EntriesKeepTheirTypeAndWholeText)
{
    WriteEventEntry(EntryType::Information, "Nerolin started");
    WriteEventEntry(EntryType::Warning, "line one\r\nline two");
    WriteEventEntry(EntryType::Error, "\xC3\x89rv\xC3\xA9nytelen v\xC3\xA1lasz");
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].type, 1);
    EXPECT_EQ(entries[0].strings[0], "\xC3\x89rv\xC3\xA9nytelen v\xC3\xA1lasz");
    EXPECT_EQ(entries[1].type, 2);
    EXPECT_EQ(entries[1].strings[0], "line one\r\nline two");
    EXPECT_EQ(entries[2].type, 4);
    const std::int64_t now = std::time(nullptr);
    EXPECT_LE(std::abs(entries[0].time - now), 60);
}

TEST_F(EventLog, FailedRegistrationDropsEntriesSilentlyButStillShowsBoxes)
{
    RegisterEventSource("/proc/nerolin/eventlog.sqlite");
    WriteEventEntry(EntryType::Error, "lost");
    ReportSystemError("CertOpenStore", 5, false, "Access is denied.");
    EXPECT_EQ(prompts_->Messages(), std::vector<std::string>{"Access is denied."});
    EXPECT_TRUE(Entries().empty());
}

}  // namespace
}  // namespace nerolin
