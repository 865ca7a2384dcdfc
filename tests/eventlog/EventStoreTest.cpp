#include "eventlog/EventStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"

namespace nerolin {
namespace {

TEST(EventStore, KeepsSourceTimeTypeAndStringListNewestFirst)
{
    test::TempFolder folder;
    const std::string path = folder.Path("nested/folder/eventlog.sqlite");  // folders are created
    auto store = EventStore::OpenForWriting(path);
    ASSERT_TRUE(store);
    ASSERT_TRUE(store->Append("Nerolin", 100, 1, {"first"}));
    ASSERT_TRUE(store->Append("Other", 101, 4, {"other source"}));
    ASSERT_TRUE(store->Append("Nerolin", 100, 8, {}));
    ASSERT_TRUE(store->Append("Nerolin", 99, 2, {"a", "quote \" back\\slash \t\x01", ""}));

    const std::vector<StoredEntry> entries = EventStore::OpenForReading(path)->ReadNewestFirst("Nerolin");
    ASSERT_EQ(entries.size(), 3u);
    // Newest by order of writing, not by the time field.
    EXPECT_EQ(entries[0].time, 99);
    EXPECT_EQ(entries[0].type, 2);
    EXPECT_EQ(entries[0].strings, (std::vector<std::string>{"a", "quote \" back\\slash \t\x01", ""}));
    EXPECT_EQ(entries[1].type, 8);
    EXPECT_TRUE(entries[1].strings.empty());
    EXPECT_EQ(entries[2].strings, std::vector<std::string>{"first"});
}

// Rows as another writer of the store may have spelled their JSON: the
// reader takes any JSON array, not only this program's compact form.
TEST(EventStore, ReadsStringListsInAnyJsonSpelling)
{
    struct Case {
        const char* json;
        std::vector<std::string> strings;
    };
    const Case cases[] = {
        {R"(["plain text"])", {"plain text"}},
        {R"([])", {}},
        {R"( [ "a" , "b" ] )", {"a", "b"}},
        {R"(["\u00e9t\u00e9 \/ \"q\" \\ \t"])", {"\xC3\xA9t\xC3\xA9 / \"q\" \\ \t"}},
        {"[\"caf\xC3\xA9\"]", {"caf\xC3\xA9"}},
        {R"(["a\",\"b"])", {"a\",\"b"}},
        {R"(["one", 2, null])", {"one", "", ""}},  // values that are not strings count, empty
        {R"({"not":"a list"})", {}},
    };
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    ASSERT_TRUE(EventStore::OpenForWriting(path));
    sqlite3* database = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &database), SQLITE_OK);
    for (const Case& c : cases) {
        const std::string sql =
            "INSERT INTO entries (source, time, type, strings) VALUES ('Nerolin', 1, 4, '" + std::string(c.json) + "')";
        EXPECT_EQ(sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << c.json;
    }
    const std::vector<StoredEntry> entries = EventStore::OpenForReading(path)->ReadNewestFirst("Nerolin");
    ASSERT_EQ(entries.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(entries[std::size(cases) - 1 - i].strings, cases[i].strings) << cases[i].json;

    // Text that is not JSON fails the read whole, as SQLite's JSON functions did.
    ASSERT_EQ(
        sqlite3_exec(database, "INSERT INTO entries (source, time, type, strings) VALUES ('Nerolin', 2, 4, '[\"')",
                     nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(database);
    StoreStatus status = StoreStatus::Ok;
    EXPECT_FALSE(EventStore::OpenForReading(path)->Read("Nerolin", status));
    EXPECT_EQ(status, StoreStatus::Failed);
}

TEST(EventStore, KeepsOnlyTheNewestEntriesUpToItsCapacity)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    auto store = EventStore::OpenForWriting(path, 10);
    for (int i = 0; i < 25; ++i) ASSERT_TRUE(store->Append("Nerolin", i, 4, {std::to_string(i)}));
    const auto entries = store->ReadNewestFirst("Nerolin");
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries.front().strings[0], "24");
    EXPECT_EQ(entries.back().strings[0], "15");
}

TEST(EventStore, MissingOrUnusableDatabaseDoesNotOpen)
{
    test::TempFolder folder;
    EXPECT_FALSE(EventStore::OpenForReading(folder.Path("absent.sqlite")));
    EXPECT_FALSE(EventStore::OpenForWriting("/proc/nerolin/eventlog.sqlite"));
}

TEST(EventStore, ADamagedStoreIsKeptAsideAndStartsAfresh)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    // One folder for all: each damage's copy replaces the one before.
    for (test::Damage damage : test::kDamages) {
        SCOPED_TRACE(test::DamageName(damage));
        const std::string damaged = test::MakeDamagedStore(path, damage);
        auto store = EventStore::OpenForWriting(path);
        ASSERT_TRUE(store);
        EXPECT_TRUE(store->Append("Nerolin", 1, 4, {"fresh"}));
        EXPECT_EQ(test::ReadFileBytes(path + ".broken"), damaged);
        EXPECT_FALSE(std::filesystem::exists(path + ".broken.partial"));
        StoreStatus status = StoreStatus::Failed;
        const auto entries = EventStore::OpenForReading(path)->Read("Nerolin", status);
        ASSERT_TRUE(entries);
        ASSERT_EQ(entries->size(), 1u);
        EXPECT_EQ(entries->front().strings, std::vector<std::string>{"fresh"});
    }
}

TEST(EventStore, ReadingTellsAnAbsentTableFromDamage)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    std::ofstream{path}.close();  // made, never written: no entries yet
    StoreStatus status = StoreStatus::Failed;
    auto entries = EventStore::OpenForReading(path)->Read("Nerolin", status);
    EXPECT_EQ(status, StoreStatus::Ok);
    EXPECT_TRUE(entries && entries->empty());

    for (test::Damage damage : test::kDamages) {
        SCOPED_TRACE(test::DamageName(damage));
        test::MakeDamagedStore(path, damage);
        EXPECT_FALSE(EventStore::OpenForReading(path)->Read("Nerolin", status));
        EXPECT_EQ(status, StoreStatus::Damaged);
    }
}

TEST(EventStore, ThreadsSharingOneStoreLoseNothing)
{
    test::TempFolder folder;
    auto store = EventStore::OpenForWriting(folder.Path("eventlog.sqlite"));
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&store, t] {
            for (int i = 0; i < 250; ++i) EXPECT_TRUE(store->Append("Nerolin", 0, 4, {std::to_string(t * 1000 + i)}));
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(store->ReadNewestFirst("Nerolin").size(), 1000u);
}

}  // namespace
}  // namespace nerolin
