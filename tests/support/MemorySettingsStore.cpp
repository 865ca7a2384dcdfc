#include "tests/support/MemorySettingsStore.h"

#include <algorithm>
#include <cctype>

namespace nerolin::test {
namespace {

// A file view of one scope; it reads and writes the store directly, so
// there is nothing pending to sync.
class MemorySettingsFile : public SettingsFile {
public:
    MemorySettingsFile(std::shared_ptr<MemorySettingsStore> store, Scope scope)
        : store_(std::move(store)),
          scope_(scope)
    {
    }

    std::optional<SettingValue> Read(const std::string& group, const std::string& name) const override
    {
        return store_->Get(scope_, group, name);
    }

    void Write(const std::string& group, const std::string& name, const SettingValue& value) override
    {
        store_->Set(scope_, group, name, value);
    }

    bool Sync() override { return true; }

private:
    std::shared_ptr<MemorySettingsStore> store_;
    Scope scope_;
};

}  // namespace

MemorySettingsStore::Key MemorySettingsStore::KeyOf(const std::string& group, const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return {group, lower};
}

void MemorySettingsStore::Set(Scope scope, const std::string& group, const std::string& name, SettingValue value)
{
    std::lock_guard lock(mutex_);
    auto& values = scope == Scope::User ? user_ : machine_;
    values.insert_or_assign(KeyOf(group, name), std::move(value));
}

std::optional<SettingValue> MemorySettingsStore::Get(Scope scope, const std::string& group,
                                                     const std::string& name) const
{
    std::lock_guard lock(mutex_);
    const auto& values = scope == Scope::User ? user_ : machine_;
    auto found = values.find(KeyOf(group, name));
    if (found == values.end()) return std::nullopt;
    return found->second;
}

void MemorySettingsStore::Clear()
{
    std::lock_guard lock(mutex_);
    user_.clear();
    machine_.clear();
}

std::unique_ptr<SettingsFile> MemorySettingsStore::Open(Scope scope, SettingsAccess)
{
    if (scope == Scope::Machine) {
        std::lock_guard lock(mutex_);
        if (machine_.empty()) return nullptr;
    }
    return std::make_unique<MemorySettingsFile>(shared_from_this(), scope);
}

std::shared_ptr<MemorySettingsStore> InstallMemorySettingsStore()
{
    auto store = std::make_shared<MemorySettingsStore>();
    InstallSettingsStore(store);
    return store;
}

}  // namespace nerolin::test
