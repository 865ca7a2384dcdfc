#pragma once

// Everything Nerolin keeps between runs, in two scopes: the user's values,
// and the machine-wide values an administrator sets up (never created by
// Nerolin, written only when they exist and the user may write them).
// Values go through the installed settings store (platform/SettingsStore.h;
// docs/settings.md describes the files). Numbers are integers, texts are
// texts, the passwords are byte arrays. Value names are matched regardless
// of case, as Windows' registry value names are, which the names below
// follow. Nothing is cached: every call reads anew, so another process's
// change is seen at the next read. Every read failure gives the default;
// write failures are ignored; nothing here shows a message or writes an
// event entry.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/SecretString.h"
#include "common/Text.h"
#include "platform/Scope.h"
#include "platform/SettingsStore.h"

namespace nerolin {

namespace setting {
// Per-user numbers, with their defaults.
inline constexpr char kAutomaticallyClose[] = "AutomaticallyCloseApplicationWhenProcessFinished";  // 1
inline constexpr char kStartSigningImmediately[] = "StartSigningImmediately";                      // 0
inline constexpr char kCheckCertificateValidity[] = "CheckCertificateValidity";                    // 1
inline constexpr char kSkipUpdateCheckOnEnd[] = "SkipUpdateCheckOnEnd";                            // 0
inline constexpr char kUseNoCacheForWhitelist[] = "UseNoCacheMechanismForWhiteList";               // 1
// The updater's group and its one value written by Nerolin.
inline constexpr char kUpdateGroup[] = "WinSparkle";
inline constexpr char kLastCheckTime[] = "LastCheckTime";
// Texts of the user file, else the machine file.
inline constexpr char kAppcastUrl[] = "AppcastURL";
inline constexpr char kProxyUrl[] = "ProxyURL";
inline constexpr char kProxyUsername[] = "ProxyUsername";
inline constexpr char kCertificateDatabase[] = "CertificateDatabase";
// Bytes: the protected proxy password.
inline constexpr char kProxyPassword[] = "ProxyPassword";
// The machine file's group of extra card database entries, Card1, Card2, ...
inline constexpr char kSmartCardGroup[] = "SmartCards";
// The administrator's rules of the alternative choice (providers/AlternativeProviderChoiceRules.h).
inline constexpr char kAlternativeProviderGroup[] = "AlternativeProviders";
}  // namespace setting

// One open settings file: the counterpart of an open registry key. An empty
// group name addresses the file's top level.
class SettingsKey {
public:
    // The user file (it need not exist yet).
    static SettingsKey OpenUser();
    // The machine file for reading; nullopt when it does not exist.
    static std::optional<SettingsKey> OpenMachine();
    // The machine file for writing; nullopt unless it exists and is writable.
    static std::optional<SettingsKey> OpenMachineForWriting();

    SettingsKey(SettingsKey&&) noexcept;
    SettingsKey& operator=(SettingsKey&&) noexcept;
    ~SettingsKey();

    // nullopt when absent or of another type (a byte array is no text, a
    // text that is not a decimal 32-bit number is no number; in the registry
    // only a REG_DWORD is a number).
    std::optional<std::string> ReadText(const std::string& name, const std::string& group = {}) const;
    std::optional<std::uint32_t> ReadNumber(const std::string& name, const std::string& group = {}) const;
    std::optional<Bytes> ReadBinary(const std::string& name, const std::string& group = {}) const;

    void WriteText(const std::string& name, const std::string& text, const std::string& group = {});
    void WriteNumber(const std::string& name, std::uint32_t value, const std::string& group = {});
    void WriteBinary(const std::string& name, const Bytes& data, const std::string& group = {});

    // Writes pending changes to the file; false when that failed (or no
    // store is installed).
    bool Sync();

    // Every {group, name} the file holds (SettingsFile::Names).
    std::vector<std::pair<std::string, std::string>> Names() const;

private:
    SettingsKey(std::shared_ptr<SettingsStore> store, std::unique_ptr<SettingsFile> file);
    static std::optional<SettingsKey> Open(Scope scope, SettingsAccess access);

    // Declared before file_, so the file is closed while its store lives.
    std::shared_ptr<SettingsStore> store_;
    std::unique_ptr<SettingsFile> file_;  // null without a store: nothing to read, writes dropped
};

// A stored number as ReadNumber takes it: decimal digits with an optional
// sign, blanks around them allowed, in the 32-bit range written signed or
// unsigned (so "-1" and "4294967295" are the same value).
std::optional<std::uint32_t> ParseSettingNumber(std::string_view text);

// A per-user number; defaultValue when absent or unreadable.
int ReadUserSetting(const std::string& name, int defaultValue);
void WriteUserSetting(const std::string& name, int value);
// A text in a group of the user file ("LastCheckTime" in "WinSparkle").
void WriteUserText(const std::string& group, const std::string& name, const std::string& text);

// "AppcastURL" of one file; false when absent (or longer than 4095 bytes).
bool ReadAppcastUrl(Scope scope, std::string& url);
// The user's "AppcastURL", else the machine's, else the empty text.
std::string AppcastUrl();

// The proxy URL in use, and whether it came from the machine file: the
// user's "ProxyURL" when present, even empty (false); otherwise the
// machine's, or the empty text when there is none (true).
bool ReadProxyUrl(std::string& url);
// User name and password from the file that ReadProxyUrl chose. Outputs
// stay as they are when the file or a value is missing.
void ReadProxyCredentials(bool machineWide, std::string& userName, SecretString& password);

// The stored password of an open file; false (password unchanged) when it
// is absent, not bytes, empty or does not open in the scope of machineWide;
// false and an empty password when it is longer than a SecretString holds.
bool ReadProxyPassword(const SettingsKey& key, bool machineWide, SecretString& password);
// Protects and stores the password; an empty one is stored as zero bytes.
// Nothing is written when protection fails.
void WriteProxyPassword(SettingsKey& key, bool machineWide, const SecretString& password);

// The user's "CertificateDatabase" when present (even empty), else the
// machine's; nullopt when neither file has one.
std::optional<std::string> ReadCertificateDatabase();

// The machine file's card database entries: the texts Card1, Card2, ... of
// the group [SmartCards], up to the first missing number.
std::vector<std::string> ReadMachineCardEntries();

}  // namespace nerolin
