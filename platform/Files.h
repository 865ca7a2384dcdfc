#pragma once

// Files the core writes itself (exports, downloads, the copy of a damaged
// event store), named by UTF-8 paths on every system.

#include <cstdint>
#include <string>
#include <string_view>

namespace nerolin {

// Who may read a new file: the user alone, or whoever the system's defaults
// let (the umask, the folder's inherited access).
enum class FileAccess { Private, Shared };

// A file written from start to end, created or truncated on opening and
// closed at the latest when the object goes.
class OutputFile {
public:
    // refuseLink: a symbolic link at path is refused, never followed.
    OutputFile(const std::string& path, FileAccess access, bool refuseLink = false);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool is_open() const;
    // All of bytes, or false.
    bool Write(std::string_view bytes);
    // False when the file was not open or its last bytes could not be written.
    bool Close();

private:
    std::intptr_t handle_;
};

// What is at a path, for a reader that must tell a file that was never
// written from one it may not read.
enum class PathKind { Missing, File, Folder, Unreachable };
// Folder and Unreachable set problem to the system's text of the reason
// ("Is a directory", "Permission denied", ...).
PathKind InspectPath(const std::string& path, std::string& problem);
// Empty when this user may read the file at path; else the system's text of
// the reason.
std::string ReadProblem(const std::string& path);

// The system's text of why the last file call of this thread failed.
std::string LastFileProblem();

// A private copy of the file from at to (replaced when it exists).
bool CopyToPrivateFile(const std::string& from, const std::string& to);
// Gives the file from the name to, replacing a file of that name.
bool RenameFile(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);
// Makes the folder and its missing parents, each new one for this user's
// eyes only; folders that exist keep their access. True when the folder
// exists afterwards.
bool MakePrivateFolders(const std::string& path);

// Whether this process may write the file that exists at path. Tried, not
// judged from permission bits: a read-only file system refuses root too.
bool FileTakesWrites(const std::string& path);
// Whether a new file can be made in the folder that exists at path.
bool FolderTakesNewFiles(const std::string& path);

}  // namespace nerolin
