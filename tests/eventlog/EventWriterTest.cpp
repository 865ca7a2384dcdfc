// The process's one writer: callers never wait for the store, whatever
// holds it; entries keep their order and survive a busy or damaged store.
#include "eventlog/EventWriter.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

#include "tests/eventlog/DamagedStoreFixture.h"
#include "tests/eventlog/TempFolder.h"

namespace nerolin {
namespace {

// Another connection to the store holding its write lock, as a writer of
// another process does in the middle of a transaction.
class WriteLock {
public:
    explicit WriteLock(const std::string& path)
    {
        EXPECT_EQ(sqlite3_open(path.c_str(), &database_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(database_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~WriteLock() { Release(); }
    void Release()
    {
        if (database_ == nullptr) return;
        sqlite3_exec(database_, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(database_);
        database_ = nullptr;
    }

private:
    sqlite3* database_ = nullptr;
};

NewEntry Numbered(int number) { return {"Nerolin", 0, 4, {std::to_string(number)}}; }

// The stored texts, oldest first.
std::vector<std::string> Stored(const std::string& path)
{
    std::vector<std::string> texts;
    for (const auto& entry : EventStore::OpenForReading(path)->ReadNewestFirst("Nerolin"))
        texts.insert(texts.begin(), entry.strings.at(0));
    return texts;
}

std::vector<std::string> Numbers(int from, int to)
{
    std::vector<std::string> texts;
    for (int i = from; i < to; ++i) texts.push_back(std::to_string(i));
    return texts;
}

TEST(EventWriter, EntriesWaitForALockedStoreAndArriveInOrder)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    ASSERT_TRUE(EventStore::OpenForWriting(path));
    WriteLock lock(path);
    EventWriter writer(path);
    // Each Add returns while the lock is held: a writer that waited for the
    // store would never get here, one that gave up would lose the entries.
    for (int i = 0; i < 300; ++i) writer.Add(Numbered(i));
    EXPECT_FALSE(writer.Flush(std::chrono::milliseconds(0)));
    lock.Release();
    ASSERT_TRUE(writer.Flush(std::chrono::seconds(30)));
    EXPECT_EQ(Stored(path), Numbers(0, 300));
}

TEST(EventWriter, TheEndStoresWhatItCanWithinItsBoundAndDropsTheRest)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    ASSERT_TRUE(EventStore::OpenForWriting(path));
    {
        EventWriter writer(path);
        writer.Add(Numbered(1));
        ASSERT_TRUE(writer.Flush(std::chrono::seconds(30)));
        WriteLock lock(path);
        writer.Add(Numbered(2));
        writer.Close(std::chrono::milliseconds(100));  // returns although the store stays locked
        writer.Add(Numbered(3));                       // after the end: dropped
        EXPECT_TRUE(writer.Flush(std::chrono::milliseconds(0)));
    }
    EXPECT_EQ(Stored(path), std::vector<std::string>{"1"});
}

TEST(EventWriter, AFullQueueDropsTheNewest)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    ASSERT_TRUE(EventStore::OpenForWriting(path));
    WriteLock lock(path);
    EventWriter writer(path);
    const int overflow = 5;
    for (int i = 0; i < static_cast<int>(EventWriter::kQueueLimit) + overflow; ++i) writer.Add(Numbered(i));
    lock.Release();
    ASSERT_TRUE(writer.Flush(std::chrono::seconds(60)));
    EXPECT_EQ(Stored(path), Numbers(0, static_cast<int>(EventWriter::kQueueLimit)));
}

TEST(EventWriter, ADamagedStoreIsRepairedAndTheRunsEntriesKept)
{
    test::TempFolder folder;
    const std::string path = folder.Path("eventlog.sqlite");
    for (test::Damage damage : test::kDamages) {
        SCOPED_TRACE(test::DamageName(damage));
        const std::string damaged = test::MakeDamagedStore(path, damage);
        EventWriter writer(path);
        for (int i = 0; i < 10; ++i) writer.Add(Numbered(i));
        ASSERT_TRUE(writer.Flush(std::chrono::seconds(30)));
        EXPECT_EQ(Stored(path), Numbers(0, 10));
        EXPECT_EQ(test::ReadFileBytes(path + ".broken"), damaged);
    }
}

TEST(EventWriter, AStoreThatCannotBeOpenedDropsEntriesWithoutWaiting)
{
    test::TempFolder folder;
    std::filesystem::create_directories(folder.Path("eventlog.sqlite"));  // a folder in its place
    EventWriter writer(folder.Path("eventlog.sqlite"));
    writer.Add(Numbered(1));
    EXPECT_TRUE(writer.Flush(std::chrono::seconds(30)));
}

}  // namespace
}  // namespace nerolin
