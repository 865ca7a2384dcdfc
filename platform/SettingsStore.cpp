#include "platform/SettingsStore.h"

#include <mutex>

namespace nerolin {
namespace {

// Settings are read from several threads (HTTP exchanges, the signing
// worker); each read takes its own reference to the store under the lock.
std::mutex storeMutex;
std::shared_ptr<SettingsStore> installedStore;

}  // namespace

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
