#include "platform/UserFolders.h"

#include "platform/XdgDirectories.h"

namespace nerolin {

std::string UserStateFolder() { return StateHome(); }

}  // namespace nerolin
