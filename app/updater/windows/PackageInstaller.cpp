#include "app/updater/PackageInstaller.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "eventlog/EventLog.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

// The longest version text taken from a package, in characters.
constexpr DWORD kMaxVersion = 256;

class MsiHandleOwner {
public:
    explicit MsiHandleOwner(MSIHANDLE handle) : handle_(handle) {}
    ~MsiHandleOwner() { MsiCloseHandle(handle_); }
    MsiHandleOwner(const MsiHandleOwner&) = delete;
    MsiHandleOwner& operator=(const MsiHandleOwner&) = delete;

private:
    MSIHANDLE handle_;
};

// The package msiexec installs when the updater ends, with its lock.
std::mutex handedOverMutex;
std::optional<std::wstring> handedOver;

// The program's paths are UTF-8 and may carry Qt's forward slashes.
std::wstring NativePath(const std::string& path)
{
    std::wstring wide = WideText(path);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
}

// msiexec.exe of the system folder, never one found on the search path.
std::wstring InstallerProgram()
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(folder, length) + L"\\msiexec.exe";
}

}  // namespace

const char kUpdateSystem[] = "windows";

std::optional<std::string> PackageVersion(const std::string& path)
{
    std::wstring package;
    try {
        package = NativePath(path);
    } catch (const std::range_error&) {
        return std::nullopt;
    }
    MSIHANDLE database = 0;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS) return std::nullopt;
    MsiHandleOwner databaseOwner(database);
    MSIHANDLE view = 0;
    if (MsiDatabaseOpenViewW(database, L"SELECT `Value` FROM `Property` WHERE `Property` = 'ProductVersion'", &view) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    MsiHandleOwner viewOwner(view);
    MSIHANDLE record = 0;
    if (MsiViewExecute(view, 0) != ERROR_SUCCESS || MsiViewFetch(view, &record) != ERROR_SUCCESS) return std::nullopt;
    MsiHandleOwner recordOwner(record);
    wchar_t value[kMaxVersion + 1];
    DWORD length = kMaxVersion + 1;
    // A longer text gives ERROR_MORE_DATA: no version this program compares.
    if (MsiRecordGetStringW(record, 1, value, &length) != ERROR_SUCCESS || length == 0) return std::nullopt;
    try {
        return Utf8Text(std::wstring_view(value, length));
    } catch (const std::range_error&) {
        return std::nullopt;
    }
}

bool HandToInstaller(const std::string& path, std::chrono::milliseconds)
{
    const std::wstring program = InstallerProgram();
    if (program.empty() || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    std::lock_guard lock(handedOverMutex);
    try {
        handedOver = NativePath(path);
    } catch (const std::range_error&) {
        return false;
    }
    return true;
}

void StartHandedOverInstaller()
{
    std::optional<std::wstring> package;
    {
        std::lock_guard lock(handedOverMutex);
        package.swap(handedOver);
    }
    if (!package) return;
    const std::wstring program = InstallerProgram();
    // The user chose the installation in the offer: msiexec shows its
    // progress and its own failures and asks nothing more; a restart it
    // needs is left to the user.
    std::wstring commandLine = L"\"" + program + L"\" /i \"" + *package + L"\" /passive /norestart";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        WriteEventEntry(EntryType::Warning,
                        "Update package could not be handed to the system's installer: " + Utf8Text(*package));
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

}  // namespace nerolin
