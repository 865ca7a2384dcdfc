#pragma once

// Settings in memory for tests of the core: what a test sets here is what
// the code under test reads through platform/Settings.h, and what that code
// writes can be looked at here; no file is touched. Names match regardless
// of case within a group, as in the real files. The machine scope exists
// once it holds a value, and may then also be written.

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/SettingsStore.h"

namespace nerolin::test {

class MemorySettingsStore : public SettingsStore, public std::enable_shared_from_this<MemorySettingsStore> {
public:
    void Set(Scope scope, const std::string& group, const std::string& name, SettingValue value);
    std::optional<SettingValue> Get(Scope scope, const std::string& group, const std::string& name) const;
    // Forgets every value of both scopes.
    void Clear();

    std::unique_ptr<SettingsFile> Open(Scope scope, SettingsAccess access) override;

private:
    using Key = std::pair<std::string, std::string>;  // group, name in lower case
    static Key KeyOf(const std::string& group, const std::string& name);

    mutable std::mutex mutex_;
    std::map<Key, SettingValue> user_;
    std::map<Key, SettingValue> machine_;
};

// Installs a fresh store (replacing any other) and returns it.
std::shared_ptr<MemorySettingsStore> InstallMemorySettingsStore();

}  // namespace nerolin::test
