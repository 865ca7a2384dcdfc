#include "platform/Files.h"

#include <windows.h>

#include <stdexcept>

#include "platform/windows/SystemErrorText.h"
#include "platform/windows/WideText.h"

namespace nerolin {
namespace {

constexpr std::intptr_t kClosed = -1;

std::intptr_t Stored(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? kClosed : reinterpret_cast<std::intptr_t>(handle);
}

HANDLE Handle(std::intptr_t stored) { return reinterpret_cast<HANDLE>(stored); }

// A path the calls take, or empty for a name that is no UTF-8.
std::wstring WidePath(const std::string& path)
{
    try {
        return WideText(path);
    } catch (const std::range_error&) {
        return {};
    }
}

bool IsLink(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Whether the nearest existing folder on the way to path is a file.
bool FileInTheWay(const std::wstring& path)
{
    for (std::size_t end = path.find_last_of(L"/\\"); end != std::wstring::npos && end > 0;
         end = path.find_last_of(L"/\\", end - 1)) {
        const DWORD attributes = GetFileAttributesW(path.substr(0, end).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    return false;
}

}  // namespace

PathKind InspectPath(const std::string& path, std::string& problem)
{
    const std::wstring wide = WidePath(path);
    if (wide.empty()) {
        problem = SystemErrorText(ERROR_INVALID_NAME);
        return PathKind::Unreachable;
    }
    WIN32_FILE_ATTRIBUTE_DATA found{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &found)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            // Missing, unless a file stands where one of its folders should.
            if (!FileInTheWay(wide)) return PathKind::Missing;
            problem = SystemErrorText(ERROR_DIRECTORY);
            return PathKind::Unreachable;
        }
        problem = SystemErrorText(error);
        return PathKind::Unreachable;
    }
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return PathKind::File;
    problem = SystemErrorText(ERROR_ACCESS_DENIED);  // what opening a folder as a file gives
    return PathKind::Folder;
}

std::string ReadProblem(const std::string& path)
{
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return SystemErrorText(ERROR_INVALID_NAME);
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return SystemErrorText(GetLastError());
    CloseHandle(file);
    return {};
}

std::string LastFileProblem() { return SystemErrorText(GetLastError()); }

// A new file inherits the access of its folder, which for the folders the
// core writes private files into (the user's profile) is the user's alone.
OutputFile::OutputFile(const std::string& path, FileAccess, bool refuseLink) : handle_(kClosed)
{
    const std::wstring wide = WidePath(path);
    if (wide.empty() || (refuseLink && IsLink(wide))) return;
    handle_ = Stored(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | (refuseLink ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr));
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::is_open() const { return handle_ != kClosed; }

bool OutputFile::Write(std::string_view bytes)
{
    if (handle_ == kClosed) return false;
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!WriteFile(Handle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool OutputFile::Close()
{
    if (handle_ == kClosed) return false;
    const HANDLE handle = Handle(handle_);
    handle_ = kClosed;
    return CloseHandle(handle) != 0;
}

bool CopyToPrivateFile(const std::string& from, const std::string& to)
{
    const std::wstring source = WidePath(from);
    const std::wstring target = WidePath(to);
    return !source.empty() && !target.empty() && CopyFileW(source.c_str(), target.c_str(), FALSE) != 0;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    const std::wstring source = WidePath(from);
    const std::wstring target = WidePath(to);
    return !source.empty() && !target.empty() &&
           MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& path)
{
    const std::wstring wide = WidePath(path);
    return !wide.empty() && DeleteFileW(wide.c_str()) != 0;
}

bool MakePrivateFolders(const std::string& path)
{
    std::wstring wide = WidePath(path);
    if (wide.empty()) return false;
    // Both separators; a drive ("C:") or a server share is never made.
    for (std::size_t at = wide.find_first_of(L"/\\", 1);; at = wide.find_first_of(L"/\\", at + 1)) {
        const std::wstring partial = wide.substr(0, at);
        if (!(partial.size() == 2 && partial[1] == L':')) CreateDirectoryW(partial.c_str(), nullptr);
        if (at == std::wstring::npos) break;
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileTakesWrites(const std::string& path)
{
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return false;
    const HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool FolderTakesNewFiles(const std::string& path)
{
    const std::wstring folder = WidePath(path);
    if (folder.empty()) return false;
    // The probe goes away with its handle, also if the process dies first.
    const std::wstring probe = folder + L"\\.nerolin-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetTickCount64());
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace nerolin
