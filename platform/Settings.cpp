#include "platform/Settings.h"

#include <unistd.h>

#include <cstring>

#include <QSettings>
#include <QStringList>

#include <openssl/crypto.h>

#include "platform/XdgDirectories.h"

namespace nerolin {
namespace {

constexpr std::size_t kMaximumAppcastUrl = 4095;

QString ToQt(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string FromQt(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Wipes a byte vector that held a secret.
struct WipedBytes {
    Bytes bytes;
    ~WipedBytes() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

}  // namespace

std::string UserSettingsPath() { return ConfigHome() + "/Tavorel/Nerolin.conf"; }
std::string MachineSettingsPath() { return FirstConfigDirectory() + "/Tavorel/Nerolin.conf"; }

SettingsKey::SettingsKey(Scope scope, std::string path, bool writable)
    : scope_(scope),
      path_(std::move(path)),
      settings_(std::make_unique<QSettings>(ToQt(path_), QSettings::IniFormat))
{
    // The machine file lives in a folder the user cannot write to; without
    // this, saving would need a temporary file next to it.
    if (scope_ == Scope::Machine && writable) settings_->setAtomicSyncRequired(false);
}

SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;
SettingsKey::~SettingsKey() = default;

SettingsKey SettingsKey::OpenUser()
{
    std::string path = UserSettingsPath();
    MakeDirectories(path.substr(0, path.rfind('/')), 0700);
    return SettingsKey(Scope::User, path, true);
}

std::optional<SettingsKey> SettingsKey::OpenMachine()
{
    std::string path = MachineSettingsPath();
    if (!FileExists(path)) return std::nullopt;
    return SettingsKey(Scope::Machine, path, false);
}

std::optional<SettingsKey> SettingsKey::OpenMachineForWriting()
{
    std::string path = MachineSettingsPath();
    if (access(path.c_str(), R_OK | W_OK) != 0) return std::nullopt;
    return SettingsKey(Scope::Machine, path, true);
}

std::string SettingsKey::StoredName(const std::string& name, const std::string& group) const
{
    QString wanted = ToQt(name);
    settings_->beginGroup(ToQt(group));
    const QStringList keys = settings_->childKeys();
    settings_->endGroup();
    QString found = wanted;
    if (!keys.contains(wanted)) {
        for (const QString& key : keys) {
            if (key.compare(wanted, Qt::CaseInsensitive) == 0) {
                found = key;
                break;
            }
        }
    }
    return group.empty() ? FromQt(found) : group + "/" + FromQt(found);
}

std::optional<std::string> SettingsKey::ReadText(const std::string& name, const std::string& group) const
{
    QVariant value = settings_->value(ToQt(StoredName(name, group)));
    switch (value.typeId()) {
    case QMetaType::QString: return FromQt(value.toString());
    case QMetaType::QStringList:
        // An unquoted comma makes the INI reader split the text; put it back.
        return FromQt(value.toStringList().join(QLatin1Char(',')));
    default: return std::nullopt;
    }
}

std::optional<std::uint32_t> SettingsKey::ReadNumber(const std::string& name, const std::string& group) const
{
    QVariant value = settings_->value(ToQt(StoredName(name, group)));
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    bool ok = false;
    qlonglong number = value.toString().trimmed().toLongLong(&ok, 10);
    // The 32-bit range, written signed or unsigned.
    if (!ok || number < -2147483648LL || number > 4294967295LL) return std::nullopt;
    return static_cast<std::uint32_t>(number);
}

std::optional<Bytes> SettingsKey::ReadBinary(const std::string& name, const std::string& group) const
{
    QVariant value = settings_->value(ToQt(StoredName(name, group)));
    if (value.typeId() != QMetaType::QByteArray) return std::nullopt;
    QByteArray data = value.toByteArray();
    return Bytes(data.begin(), data.end());
}

void SettingsKey::WriteText(const std::string& name, const std::string& text, const std::string& group)
{
    settings_->setValue(ToQt(StoredName(name, group)), ToQt(text));
}

void SettingsKey::WriteNumber(const std::string& name, std::uint32_t value, const std::string& group)
{
    // As text, so this process's cached copy has the same type as a re-read file.
    settings_->setValue(ToQt(StoredName(name, group)), QString::number(value));
}

void SettingsKey::WriteBinary(const std::string& name, const Bytes& data, const std::string& group)
{
    settings_->setValue(ToQt(StoredName(name, group)),
                        QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size())));
}

bool SettingsKey::Sync()
{
    settings_->sync();
    return settings_->status() == QSettings::NoError;
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
    // The stored text ends at its terminating NUL.
    const char* text = reinterpret_cast<const char*>(clear.bytes.data());
    password.Assign(std::string_view(text, strnlen(text, clear.bytes.size())));
    return true;
}

void WriteProxyPassword(SettingsKey& key, bool machineWide, const SecretString& password)
{
    if (password.empty()) {
        key.WriteBinary(setting::kProxyPassword, {});
        return;
    }
    WipedBytes clear;
    clear.bytes.reserve(password.size() + 1);
    clear.bytes.assign(password.data(), password.data() + password.size());
    clear.bytes.push_back(0);
    if (auto blob = Protect(machineWide ? Scope::Machine : Scope::User, clear.bytes))
        key.WriteBinary(setting::kProxyPassword, *blob);
}

}  // namespace nerolin
