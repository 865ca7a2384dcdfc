#pragma once

// Everything Nerolin keeps between runs, in two INI files:
//   user:    $XDG_CONFIG_HOME/Tavorel/Nerolin.conf (default ~/.config), created
//            by the first write;
//   machine: Tavorel/Nerolin.conf under the first entry of $XDG_CONFIG_DIRS
//            (default /etc/xdg); never created, written only when it exists
//            and is writable, and set up by an administrator.
// Numbers are integers, texts are texts, the passwords are byte arrays.
// Value names are matched regardless of case, as the stored names were on
// the platform this system was first written for. Nothing is cached: every
// call reads the file anew, so another process's change is seen at the
// next read. Every read failure gives the default; write failures are
// ignored; nothing here shows a message or writes an event entry.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/SecretString.h"
#include "common/Text.h"
#include "platform/DataProtection.h"

class QSettings;

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
// Bytes: the protected proxy password.
inline constexpr char kProxyPassword[] = "ProxyPassword";
}  // namespace setting

std::string UserSettingsPath();
std::string MachineSettingsPath();

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

    Scope scope() const { return scope_; }
    const std::string& path() const { return path_; }

    // nullopt when absent or of another type (a byte array is no text, a
    // text that is not a decimal 32-bit number is no number).
    std::optional<std::string> ReadText(const std::string& name, const std::string& group = {}) const;
    std::optional<std::uint32_t> ReadNumber(const std::string& name, const std::string& group = {}) const;
    std::optional<Bytes> ReadBinary(const std::string& name, const std::string& group = {}) const;

    void WriteText(const std::string& name, const std::string& text, const std::string& group = {});
    void WriteNumber(const std::string& name, std::uint32_t value, const std::string& group = {});
    void WriteBinary(const std::string& name, const Bytes& data, const std::string& group = {});

    // Writes pending changes to the file; false when that failed.
    bool Sync();

private:
    SettingsKey(Scope scope, std::string path, bool writable);
    std::string StoredName(const std::string& name, const std::string& group) const;

    Scope scope_;
    std::string path_;
    std::unique_ptr<QSettings> settings_;
};

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
// is absent, not bytes, empty or does not open in the scope of machineWide.
bool ReadProxyPassword(const SettingsKey& key, bool machineWide, SecretString& password);
// Protects and stores the password; an empty one is stored as zero bytes.
// Nothing is written when protection fails.
void WriteProxyPassword(SettingsKey& key, bool machineWide, const SecretString& password);

}  // namespace nerolin
