#include <string>

#include "eventlog/EventLogReporter.h"
#include "platform/UserFolders.h"

namespace nerolin {

std::string DefaultEventStorePath() { return UserStateFolder() + "/Tavorel/Nerolin/eventlog.sqlite"; }

}  // namespace nerolin
