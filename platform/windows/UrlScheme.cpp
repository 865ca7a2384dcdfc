#include "platform/UrlScheme.h"

#include <windows.h>

#include <optional>
#include <stdexcept>

#include "platform/windows/RegistryKey.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

constexpr wchar_t kSchemeKey[] = L"yendo";
constexpr wchar_t kSchemeDescription[] = L"URL:yendo protocol";
constexpr wchar_t kCommandKey[] = L"shell\\open\\command";
// The longest text the check reads, in characters.
constexpr DWORD kMaxCheckedText = 4096;

std::wstring QuotedPath(const std::string& programPath)
{
    try {
        return L"\"" + WideText(programPath) + L"\"";
    } catch (const std::range_error&) {
        return {};
    }
}

std::wstring OpenCommand(const std::wstring& quotedPath) { return quotedPath + L" \"%1\""; }

// A REG_SZ whose byte count includes the terminating NUL.
bool SetText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
}

KeyHandle CreateKey(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return {};
    }
    return KeyHandle(key);
}

KeyHandle OpenForReading(HKEY parent, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
    return KeyHandle(key);
}

// A text value of at most kMaxCheckedText characters; REG_SZ or
// REG_EXPAND_SZ (unexpanded), NUL-terminated whatever was stored.
std::optional<std::wstring> ReadText(HKEY key, const wchar_t* name)
{
    std::wstring text(kMaxCheckedText + 1, L'\0');
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text.data(),
                     &bytes) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    text.resize(bytes / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

std::string ProgramPath()
{
    // A path that does not fit is no path to register: a cut one would name
    // another file.
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    try {
        return Utf8Text(std::wstring_view(path, length));
    } catch (const std::range_error&) {
        return {};
    }
}

bool RegisterUrlScheme(const std::string& programPath)
{
    const std::wstring quotedPath = programPath.empty() ? std::wstring() : QuotedPath(programPath);
    if (quotedPath.empty()) return false;
    KeyHandle scheme = CreateKey(HKEY_CLASSES_ROOT, kSchemeKey);
    if (!scheme) return false;
    // Every value is tried, whatever failed before it.
    bool written = SetText(scheme.get(), nullptr, kSchemeDescription);
    written = SetText(scheme.get(), L"FriendlyTypeName", L"Nerolin") && written;
    written = SetText(scheme.get(), L"URL Protocol", L"") && written;
    if (KeyHandle icon = CreateKey(scheme.get(), L"Default Icon")) {
        written = SetText(icon.get(), nullptr, quotedPath + L",1") && written;
        written = icon.Close() && written;
    }
    KeyHandle shell = CreateKey(scheme.get(), L"shell");
    KeyHandle open = shell ? CreateKey(shell.get(), L"open") : KeyHandle();
    KeyHandle command = open ? CreateKey(open.get(), L"command") : KeyHandle();
    if (!command) return false;
    return SetText(command.get(), nullptr, OpenCommand(quotedPath)) && written;
}

bool UnregisterUrlScheme()
{
    // Every subkey goes before its parent.
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kSchemeKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

RegistrationCheck CheckRegistration(const std::string& programPath)
{
    RegistrationCheck check;
    check.entryPath = "HKEY_CLASSES_ROOT\\yendo";
    // An unreadable path leaves the command nothing to match.
    const std::wstring quotedPath = programPath.empty() ? std::wstring() : QuotedPath(programPath);
    KeyHandle scheme = OpenForReading(HKEY_CLASSES_ROOT, kSchemeKey);
    if (!scheme) {
        check.problems.push_back("can't read yendo key");
        return check;
    }
    check.entryFound = true;
    const auto description = ReadText(scheme.get(), nullptr);
    if (!description || !EqualIgnoringCase(*description, kSchemeDescription))
        check.problems.push_back("bad value for yendo");
    const auto mark = ReadText(scheme.get(), L"URL Protocol");
    if (!mark || !mark->empty()) check.problems.push_back("bad value for yendo\\URL Protocol");
    KeyHandle command = OpenForReading(scheme.get(), kCommandKey);
    if (!command) {
        check.problems.push_back("can't read yendo\\shell\\open\\command key");
        return check;
    }
    const auto line = ReadText(command.get(), nullptr);
    if (!line || quotedPath.empty() || !EqualIgnoringCase(*line, OpenCommand(quotedPath)))
        check.problems.push_back("bad value for yendo\\shell\\open\\command");
    return check;
}

}  // namespace nerolin
