#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nerolin {
namespace {

bool WriteAll(int descriptor, const char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(descriptor, data + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

OutputFile::OutputFile(const std::string& path, FileAccess access, bool refuseLink)
    : handle_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (refuseLink ? O_NOFOLLOW : 0),
                     access == FileAccess::Private ? 0600 : 0666))
{
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::is_open() const { return handle_ >= 0; }

bool OutputFile::Write(std::string_view bytes)
{
    return handle_ >= 0 && WriteAll(static_cast<int>(handle_), bytes.data(), bytes.size());
}

bool OutputFile::Close()
{
    if (handle_ < 0) return false;
    const int descriptor = static_cast<int>(handle_);
    handle_ = -1;
    return ::close(descriptor) == 0;
}

PathKind InspectPath(const std::string& path, std::string& problem)
{
    struct stat found {};
    if (::stat(path.c_str(), &found) != 0) {
        if (errno == ENOENT) return PathKind::Missing;
        problem = std::strerror(errno);
        return PathKind::Unreachable;
    }
    if (!S_ISDIR(found.st_mode)) return PathKind::File;
    problem = std::strerror(EISDIR);
    return PathKind::Folder;
}

std::string ReadProblem(const std::string& path)
{
    return ::access(path.c_str(), R_OK) == 0 ? std::string() : std::strerror(errno);
}

std::string LastFileProblem() { return std::strerror(errno); }

bool CopyToPrivateFile(const std::string& from, const std::string& to)
{
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) return false;
    OutputFile target(to, FileAccess::Private);
    bool copied = target.is_open();
    char buffer[1 << 16];
    while (copied) {
        const ssize_t got = ::read(source, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            copied = got == 0;
            break;
        }
        copied = target.Write(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
    ::close(source);
    if (!target.Close()) copied = false;
    return copied;
}

bool RenameFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool MakePrivateFolders(const std::string& path)
{
    if (path.empty()) return false;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string partial = path.substr(0, slash);
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool FileTakesWrites(const std::string& path)
{
    const int file = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (file < 0) return false;
    ::close(file);
    return true;
}

bool FolderTakesNewFiles(const std::string& path)
{
    std::string probe = path + "/.nerolin-probe-XXXXXX";
    const int file = ::mkstemp(probe.data());
    if (file < 0) return false;
    ::close(file);
    ::unlink(probe.c_str());
    return true;
}

}  // namespace nerolin
