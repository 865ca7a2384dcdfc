#pragma once

// Event stores damaged the ways disks and users damage them, for the tests
// of the repair.

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "eventlog/EventStore.h"
#include "tests/eventlog/TempFolder.h"

namespace nerolin::test {

enum class Damage {
    NotADatabase,          // a file of something else
    TruncatedToHalf,       // a copy or a disk that stopped half-way
    FourPagesOverwritten,  // blocks of the file hold something else
};

inline const char* DamageName(Damage damage)
{
    switch (damage) {
    case Damage::NotADatabase: return "not a database";
    case Damage::TruncatedToHalf: return "truncated to half";
    case Damage::FourPagesOverwritten: return "four pages overwritten";
    }
    return "";
}

inline constexpr Damage kDamages[] = {Damage::NotADatabase, Damage::TruncatedToHalf, Damage::FourPagesOverwritten};

// Makes a store of some hundred pages at path (replacing what was there,
// its copy aside included), damages it and returns its bytes as damaged.
inline std::string MakeDamagedStore(const std::string& path, Damage damage)
{
    for (const char* suffix : {"", "-wal", "-shm", ".broken"}) std::filesystem::remove(path + suffix);
    {
        auto store = EventStore::OpenForWriting(path);
        std::vector<NewEntry> entries;
        for (int i = 0; i < 3000; ++i)
            entries.push_back(
                {"Nerolin", 1700000000 + i, 4, {"entry " + std::to_string(i) + " of a store that breaks"}});
        store->Append(entries);
    }  // the last connection's close moves the WAL into the file and removes it
    const auto size = std::filesystem::file_size(path);
    switch (damage) {
    case Damage::NotADatabase: {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(4096, 'x');
        break;
    }
    case Damage::TruncatedToHalf: std::filesystem::resize_file(path, size / 2); break;
    case Damage::FourPagesOverwritten: {
        std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        const std::size_t pages = size / 4096;
        std::string noise(4096, '\0');
        for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
        for (std::size_t quarter = 1; quarter <= 4; ++quarter) {
            file.seekp(static_cast<std::streamoff>(pages * quarter / 5 * 4096));
            file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
        }
        break;
    }
    }
    return ReadFileBytes(path);
}

}  // namespace nerolin::test
