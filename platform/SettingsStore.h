#pragma once

// Where settings are kept. Everything below app/ reads and writes named
// values of the user's and the machine's scope through this interface only,
// so that no storage format (and no Qt) reaches it. The program installs the
// store over its real files once at start (platform/qt/QSettingsStore.h);
// tests may install one of their own. Without an installed store every read
// finds nothing, so each caller gets its default, and every write is dropped.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "common/Text.h"
#include "platform/Scope.h"

namespace nerolin {

// A stored value is a text or a byte array; numbers have calls of their own.
using SettingValue = std::variant<std::string, Bytes>;

enum class SettingsAccess { Read, Write };

// One open settings file. An empty group addresses the file's top level.
// Names are matched regardless of case within a group.
class SettingsFile {
public:
    virtual ~SettingsFile() = default;

    // nullopt when the value is absent or neither a text nor a byte array.
    virtual std::optional<SettingValue> Read(const std::string& group, const std::string& name) const = 0;
    // A name the file already holds in another case keeps that spelling.
    virtual void Write(const std::string& group, const std::string& name, const SettingValue& value) = 0;
    // A 32-bit number. By default it is kept as its decimal text
    // (ParseSettingNumber reads it back); a store with a number type of its
    // own, the registry's REG_DWORD, takes numbers of that type only.
    virtual std::optional<std::uint32_t> ReadNumber(const std::string& group, const std::string& name) const;
    virtual void WriteNumber(const std::string& group, const std::string& name, std::uint32_t value);
    // Writes pending changes to the file; false when that failed. Pending
    // changes are also written when the file is destroyed.
    virtual bool Sync() = 0;
    // Every value the file holds, as {group, name} with the file's spelling
    // (group empty for the top level); for diagnosis, which flags the names
    // the program does not know. A store that cannot list gives none.
    virtual std::vector<std::pair<std::string, std::string>> Names() const { return {}; }
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // The user's file always opens (a write creates it). The machine's
    // opens for reading only when it exists, and for writing only when it
    // exists and this user may write it; otherwise nullptr.
    virtual std::unique_ptr<SettingsFile> Open(Scope scope, SettingsAccess access) = 0;
};

// Makes store the one every setting goes through; nullptr removes it. Meant
// for process start, before other threads run: a file opened earlier keeps
// the store it came from alive until it is closed.
void InstallSettingsStore(std::shared_ptr<SettingsStore> store);
// The installed store, or nullptr.
std::shared_ptr<SettingsStore> InstalledSettingsStore();

}  // namespace nerolin
