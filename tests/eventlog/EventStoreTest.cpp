#include "eventlog/EventStore.h"

#include <gtest/gtest.h>

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

TEST(EventStore, CreatesOnlyMissingFoldersPrivate)
{
    test::TempFolder folder;
    ASSERT_TRUE(EventStore::OpenForWriting(folder.Path("Tavorel/Nerolin/eventlog.sqlite")));
    for (const char* made : {"Tavorel", "Tavorel/Nerolin"}) {
        EXPECT_EQ(std::filesystem::status(folder.Path(made)).permissions(), std::filesystem::perms::owner_all) << made;
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
