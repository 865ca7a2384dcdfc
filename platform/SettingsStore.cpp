#include "platform/SettingsStore.h"

#include <mutex>

#include "platform/Settings.h"

namespace nerolin {
namespace {

// Settings are read from several threads (HTTP exchanges, the signing
// worker); each read takes its own reference to the store under the lock.
std::mutex storeMutex;
std::shared_ptr<SettingsStore> installedStore;

}  // namespace

std::optional<std::uint32_t> SettingsFile::ReadNumber(const std::string& group, const std::string& name) const
{
    std::optional<SettingValue> value = Read(group, name);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return ParseSettingNumber(std::get<std::string>(*value));
}

void SettingsFile::WriteNumber(const std::string& group, const std::string& name, std::uint32_t value)
{
    // As text, the form a number has in a settings file; it reads back the same.
    Write(group, name, std::to_string(value));
}

void InstallSettingsStore(std::shared_ptr<SettingsStore> store)
{
    std::lock_guard lock(storeMutex);
    installedStore.swap(store);
    // The replaced store, if this held its last reference, is released
    // with the argument, after the lock.
}

std::shared_ptr<SettingsStore> InstalledSettingsStore()
{
    std::lock_guard lock(storeMutex);
    return installedStore;
}

}  // namespace nerolin
