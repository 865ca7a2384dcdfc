#pragma once

// A folder of this user's alone in a place that every user may write to
// (/tmp): made with mode 0700 when missing, and used only when it is a real
// folder, owned by this user, that no one else may write to. Otherwise
// another user could have made it first and put their own sockets there.

#include <string>

namespace nerolin {

// True when path is such a folder afterwards. Otherwise false, and refusal
// says why ("is a symbolic link", "belongs to user 0", ...).
bool MakePrivateFolder(const std::string& path, std::string& refusal);

}  // namespace nerolin
