#include "eventlog/EventLogExport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventStore.h"
#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"
#include "tests/support/Portable.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin {
namespace {

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return test::UtcSeconds(fields);
}

TEST(ExportLine, TimeLabelAndTheOneString)
{
    const std::int64_t t = UtcSeconds(2024, 3, 5, 14, 7, 9);
    struct Case {
        int type;
        std::vector<std::string> strings;
        std::string line;
    };
    const Case cases[] = {
        {1,
         {"CertOpenStore error: 5 (0x00000005)"},
         "2024/03/05 14:07:09 ERROR:       CertOpenStore error: 5 (0x00000005)"},
        {2, {"w"}, "2024/03/05 14:07:09 WARNING:     w"},
        {4, {"i"}, "2024/03/05 14:07:09 INFORMATION: i"},
        {8, {"audit"}, "2024/03/05 14:07:09              audit"},  // an unknown type: fourteen spaces
        {4, {}, "2024/03/05 14:07:09 INFORMATION: "},
        {4, {"one", "two"}, "2024/03/05 14:07:09 INFORMATION: "},
        {1, {"bad \xFF byte"}, "2024/03/05 14:07:09 ERROR:       bad \xEF\xBF\xBD byte"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatExportLine(t, c.type, c.strings, 0), c.line);
    // The offset moves the clock and, across midnight, the date.
    EXPECT_EQ(FormatExportLine(UtcSeconds(2023, 12, 31, 23, 30, 0), 4, {"x"}, 3600),
              "2024/01/01 00:30:00 INFORMATION: x");
    EXPECT_EQ(FormatExportLine(UtcSeconds(2024, 1, 1, 0, 30, 0), 4, {"x"}, -5 * 3600),
              "2023/12/31 19:30:00 INFORMATION: x");
}

class Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A fixed zone without daylight saving: UTC+2.
        const char* zone = std::getenv("TZ");
        if (zone != nullptr) savedZone_ = zone;
        test::SetEnvironment("TZ", "XYZ-2");
        tzset();
        RegisterEventSource(storePath_);
        SetUserPrompts(prompts_);
    }
    void TearDown() override
    {
        SetUserPrompts(nullptr);
        if (savedZone_)
            test::SetEnvironment("TZ", savedZone_->c_str());
        else
            test::SetEnvironment("TZ", nullptr);
        tzset();
    }

    test::TempFolder folder_;
    std::string storePath_ = folder_.Path("state/eventlog.sqlite");
    std::string logPath_ = folder_.Path("Nerolin.log");
    std::shared_ptr<test::ScriptedPrompts> prompts_ = std::make_shared<test::ScriptedPrompts>();
    std::optional<std::string> savedZone_;
};

TEST_F(Export, FileReadsBackByteForByte)
{
    {
        auto store = EventStore::OpenForWriting(storePath_);
        const std::int64_t t = UtcSeconds(2024, 3, 5, 12, 7, 9);
        store->Append("Nerolin", t, 1, {"CertOpenStore error: 5 (0x00000005)"});
        store->Append("nerolin", t, 1, {"other letter case"});
        store->Append("Nerolin2", t, 1, {"extra characters"});
        store->Append("Nerolin ", t, 1, {"trailing space"});
        store->Append("Nerolin", t + 1, 2, {"\xC3\x89rv\xC3\xA9nytelen v\xC3\xA1lasz"});
        store->Append("Nerolin", t + 1, 4, {"two", "strings"});
        store->Append("Nerolin", t + 1, 8, {"audit success"});
    }
    // Written in the same second: newest first, by order of writing.
    const std::string expected =
        "2024/03/05 14:07:10              audit success\r\n"
        "2024/03/05 14:07:10 INFORMATION: \r\n"
        "2024/03/05 14:07:10 WARNING:     \xC3\x89rv\xC3\xA9nytelen v\xC3\xA1lasz\r\n"
        "2024/03/05 14:07:09 ERROR:       CertOpenStore error: 5 (0x00000005)\r\n";
    ASSERT_EQ(ExportEventLog(logPath_).result, ExportOutcome::Result::Written);
    EXPECT_EQ(test::ReadFileBytes(logPath_), expected);
}

TEST_F(Export, EntriesOfThisProcessComeOutNewestFirst)
{
    WriteEventEntry(EntryType::Information, "first");
    WriteEventEntry(EntryType::Warning, "second");
    ASSERT_EQ(ExportEventLog(logPath_).result, ExportOutcome::Result::Written);
    const std::string text = test::ReadFileBytes(logPath_);
    const auto second = text.find(" WARNING:     second\r\n");
    const auto first = text.find(" INFORMATION: first\r\n");
    ASSERT_NE(second, std::string::npos);
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(second, first);
    EXPECT_EQ(text.size(), 2 * 19 + 2 * 14 + 6 + 5 + 2 * 2);
}

TEST_F(Export, EmptyOrMissingStoreGivesAnEmptyFileReplacingTheOldOne)
{
    {
        std::ofstream(logPath_) << "old contents that must go";
    }
    ASSERT_EQ(ExportEventLog(logPath_).result, ExportOutcome::Result::Written);  // nothing written yet
    EXPECT_EQ(test::ReadFileBytes(logPath_), "");

    RegisterEventSource("/proc/nerolin/eventlog.sqlite");  // cannot be opened
    {
        std::ofstream(logPath_) << "old";
    }
    ASSERT_EQ(ExportEventLog(logPath_).result, ExportOutcome::Result::Written);
    EXPECT_EQ(test::ReadFileBytes(logPath_), "");
}

TEST_F(Export, AStoreThatCannotBeReadLeavesTheFileAndSaysSo)
{
    const auto makeDirectory = [](const std::string& path) { std::filesystem::create_directories(path); };
    const auto makeFile = [](const std::string& path) { std::ofstream(path) << "not a folder"; };
    struct Case {
        const char* what;
        std::string store;
        std::function<void(const std::string&)> make;  // puts something in the way
    };
    const Case cases[] = {
        {"a folder in the store's place", folder_.Path("folder/eventlog.sqlite"), makeDirectory},
        {"a file in the folder's place", folder_.Path("file/eventlog.sqlite"),
         [&](const std::string&) { makeFile(folder_.Path("file")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.make(c.store);
        RegisterEventSource(c.store);
        {
            std::ofstream(logPath_) << "kept";
        }
        const ExportOutcome outcome = ExportEventLog(logPath_);
        EXPECT_EQ(outcome.result, ExportOutcome::Result::StoreUnreadable);
        EXPECT_FALSE(outcome.problem.empty());
        EXPECT_EQ(test::ReadFileBytes(logPath_), "kept");

        prompts_->Clear();
        prompts_->QueueSaveFile(logPath_);
        SaveEventLog();
        EXPECT_EQ(prompts_->Messages(),
                  std::vector<std::string>{"The event log could not be read, so it was not saved."});
        EXPECT_EQ(test::ReadFileBytes(logPath_), "kept");
    }
}

TEST_F(Export, ADamagedStoreIsSetAsideAndSaidSoThenLogsAfresh)
{
    const std::string damaged = test::MakeDamagedStore(storePath_, test::Damage::FourPagesOverwritten);
    prompts_->QueueSaveFile(logPath_);
    SaveEventLog();
    EXPECT_EQ(
        prompts_->Messages(),
        std::vector<std::string>{"The event log is damaged, so it was not saved. A copy of it was kept, and a new "
                                 "event log starts in its place."});
    EXPECT_FALSE(std::filesystem::exists(logPath_));
    EXPECT_EQ(test::ReadFileBytes(storePath_ + ".broken"), damaged);

    WriteEventEntry(EntryType::Information, "after the damage");
    ASSERT_EQ(ExportEventLog(logPath_).result, ExportOutcome::Result::Written);
    const std::string text = test::ReadFileBytes(logPath_);
    EXPECT_NE(text.find(" INFORMATION: after the damage\r\n"), std::string::npos) << text;
}

TEST_F(Export, SaveAsksForTheFileWithTheLogFilters)
{
    WriteEventEntry(EntryType::Information, "saved");
    prompts_->QueueSaveFile(logPath_);
    SaveEventLog();

    ASSERT_EQ(prompts_->SaveRequests().size(), 1u);
    const SaveFileRequest request = prompts_->SaveRequests()[0];
    EXPECT_EQ(request.initialName, "Nerolin");
    EXPECT_EQ(request.defaultSuffix, "log");
    EXPECT_TRUE(request.confirmOverwrite);
    const std::vector<std::pair<std::string, std::string>> filters = {{"Log files (*.log)", "*.log"},
                                                                      {"All files (*.*) ", "*.*"}};
    EXPECT_EQ(request.filters, filters);
    EXPECT_NE(test::ReadFileBytes(logPath_).find(" INFORMATION: saved\r\n"), std::string::npos);
}

TEST_F(Export, CancelWritesNothingAndUnwritableFileEndsSilently)
{
    SaveEventLog();  // no answer queued: cancelled
    EXPECT_FALSE(std::filesystem::exists(logPath_));

    WriteEventEntry(EntryType::Information, "only entry");
    prompts_->QueueSaveFile(folder_.Path("no/such/folder/Nerolin.log"));
    SaveEventLog();
    EXPECT_FALSE(WriteExportFile(folder_.Path("no/such/folder/Nerolin.log"), {"x"}));
    EXPECT_TRUE(prompts_->Messages().empty());
    // Nothing about the failure went into the log either.
    FlushEventLog();
    EXPECT_EQ(EventStore::OpenForReading(storePath_)->ReadNewestFirst("Nerolin").size(), 1u);
}

}  // namespace
}  // namespace nerolin
