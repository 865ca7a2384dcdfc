#include "platform/Settings.h"

#include <charconv>
#include <cstring>

#include <openssl/crypto.h>

#include "platform/DataProtection.h"
#include "platform/StoredPassword.h"

namespace nerolin {
namespace {

constexpr std::size_t kMaximumAppcastUrl = 4095;

// Wipes a byte vector that held a secret.
struct WipedBytes {
    Bytes bytes;
    ~WipedBytes() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

std::string_view TrimBlanks(std::string_view text)
{
    constexpr std::string_view kBlanks = " \t\n\v\f\r";
    const std::size_t begin = text.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(kBlanks) - begin + 1);
}

}  // namespace

SettingsKey::SettingsKey(std::shared_ptr<SettingsStore> store, std::unique_ptr<SettingsFile> file)
    : store_(std::move(store)),
      file_(std::move(file))
{
}

SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;
SettingsKey::~SettingsKey() = default;

std::optional<SettingsKey> SettingsKey::Open(Scope scope, SettingsAccess access)
{
    std::shared_ptr<SettingsStore> store = InstalledSettingsStore();
    if (!store) return std::nullopt;
    std::unique_ptr<SettingsFile> file = store->Open(scope, access);
    if (!file) return std::nullopt;
    return SettingsKey(std::move(store), std::move(file));
}

SettingsKey SettingsKey::OpenUser()
{
    if (std::optional<SettingsKey> key = Open(Scope::User, SettingsAccess::Write)) return std::move(*key);
    return SettingsKey(nullptr, nullptr);
}

std::optional<SettingsKey> SettingsKey::OpenMachine() { return Open(Scope::Machine, SettingsAccess::Read); }

std::optional<SettingsKey> SettingsKey::OpenMachineForWriting() { return Open(Scope::Machine, SettingsAccess::Write); }

std::vector<std::pair<std::string, std::string>> SettingsKey::Names() const
{
    return file_ ? file_->Names() : std::vector<std::pair<std::string, std::string>>();
}

std::optional<std::string> SettingsKey::ReadText(const std::string& name, const std::string& group) const
{
    if (!file_) return std::nullopt;
    std::optional<SettingValue> value = file_->Read(group, name);
    if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
    return std::get<std::string>(std::move(*value));
}

std::optional<std::uint32_t> SettingsKey::ReadNumber(const std::string& name, const std::string& group) const
{
    return file_ ? file_->ReadNumber(group, name) : std::nullopt;
}

std::optional<Bytes> SettingsKey::ReadBinary(const std::string& name, const std::string& group) const
{
    if (!file_) return std::nullopt;
    std::optional<SettingValue> value = file_->Read(group, name);
    if (!value || !std::holds_alternative<Bytes>(*value)) return std::nullopt;
    return std::get<Bytes>(std::move(*value));
}

void SettingsKey::WriteText(const std::string& name, const std::string& text, const std::string& group)
{
    if (file_) file_->Write(group, name, text);
}

void SettingsKey::WriteNumber(const std::string& name, std::uint32_t value, const std::string& group)
{
    if (file_) file_->WriteNumber(group, name, value);
}

void SettingsKey::WriteBinary(const std::string& name, const Bytes& data, const std::string& group)
{
    if (file_) file_->Write(group, name, data);
}

bool SettingsKey::Sync() { return file_ && file_->Sync(); }

std::optional<std::uint32_t> ParseSettingNumber(std::string_view text)
{
    text = TrimBlanks(text);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
    std::uint64_t magnitude = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, magnitude, 10);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    // The 32-bit range, written signed or unsigned.
    if (negative ? magnitude > 2147483648ULL : magnitude > 4294967295ULL) return std::nullopt;
    return static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
}

int ReadUserSetting(const std::string& name, int defaultValue)
{
    auto value = SettingsKey::OpenUser().ReadNumber(name);
    return value ? static_cast<int>(*value) : defaultValue;
}

void WriteUserSetting(const std::string& name, int value)
{
    SettingsKey key = SettingsKey::OpenUser();
    key.WriteNumber(name, static_cast<std::uint32_t>(value));
    key.Sync();
}

void WriteUserText(const std::string& group, const std::string& name, const std::string& text)
{
    SettingsKey key = SettingsKey::OpenUser();
    key.WriteText(name, text, group);
    key.Sync();
}

bool ReadAppcastUrl(Scope scope, std::string& url)
{
    std::optional<SettingsKey> key = scope == Scope::User ? SettingsKey::OpenUser() : SettingsKey::OpenMachine();
    if (!key) return false;
    auto value = key->ReadText(setting::kAppcastUrl);
    if (!value || value->size() > kMaximumAppcastUrl) return false;
    url = *value;
    return true;
}

std::string AppcastUrl()
{
    std::string url;
    if (ReadAppcastUrl(Scope::User, url) || ReadAppcastUrl(Scope::Machine, url)) return url;
    return {};
}

bool ReadProxyUrl(std::string& url)
{
    if (auto value = SettingsKey::OpenUser().ReadText(setting::kProxyUrl)) {
        url = *value;
        return false;
    }
    if (auto machine = SettingsKey::OpenMachine()) {
        if (auto value = machine->ReadText(setting::kProxyUrl)) url = *value;
    }
    return true;
}

void ReadProxyCredentials(bool machineWide, std::string& userName, SecretString& password)
{
    std::optional<SettingsKey> key = machineWide ? SettingsKey::OpenMachine() : SettingsKey::OpenUser();
    if (!key) return;
    if (auto value = key->ReadText(setting::kProxyUsername)) userName = *value;
    ReadProxyPassword(*key, machineWide, password);
}

bool ReadProxyPassword(const SettingsKey& key, bool machineWide, SecretString& password)
{
    auto blob = key.ReadBinary(setting::kProxyPassword);
    if (!blob) return false;
    auto opened = Unprotect(machineWide ? Scope::Machine : Scope::User, *blob);
    if (!opened) return false;
    WipedBytes clear{std::move(*opened)};
    return PasswordOfStoredBytes(clear.bytes, password);
}

void WriteProxyPassword(SettingsKey& key, bool machineWide, const SecretString& password)
{
    if (password.empty()) {
        key.WriteBinary(setting::kProxyPassword, {});
        return;
    }
    WipedBytes clear;
    if (!StoredPasswordBytes(password, clear.bytes)) return;
    if (auto blob = Protect(machineWide ? Scope::Machine : Scope::User, clear.bytes))
        key.WriteBinary(setting::kProxyPassword, *blob);
}

std::optional<std::string> ReadCertificateDatabase()
{
    if (auto value = SettingsKey::OpenUser().ReadText(setting::kCertificateDatabase)) return value;
    if (auto machine = SettingsKey::OpenMachine()) return machine->ReadText(setting::kCertificateDatabase);
    return std::nullopt;
}

std::vector<std::string> ReadMachineCardEntries()
{
    std::vector<std::string> entries;
    const std::optional<SettingsKey> machine = SettingsKey::OpenMachine();
    if (!machine) return entries;
    for (int number = 1;; ++number) {
        std::optional<std::string> text = machine->ReadText("Card" + std::to_string(number), setting::kSmartCardGroup);
        if (!text) break;
        entries.push_back(std::move(*text));
    }
    return entries;
}

}  // namespace nerolin
