#include "platform/PrivateFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace nerolin {

bool MakePrivateFolder(const std::string& path, std::string& refusal)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        refusal = std::strerror(errno);
        return false;
    }
    // lstat: a link is refused as such, never followed to whatever it names.
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0) {
        refusal = std::strerror(errno);
        return false;
    }
    if (S_ISLNK(found.st_mode)) {
        refusal = "is a symbolic link";
    } else if (!S_ISDIR(found.st_mode)) {
        refusal = "is not a folder";
    } else if (found.st_uid != ::geteuid()) {
        refusal = "belongs to user " + std::to_string(found.st_uid);
    } else if ((found.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        refusal = "may be written by other users";
    } else {
        return true;
    }
    return false;
}

}  // namespace nerolin
