#include <string>

#include "eventlog/EventLogReporter.h"
#include "platform/XdgDirectories.h"

namespace nerolin {

std::string DefaultEventStorePath() { return StateHome() + "/Tavorel/Nerolin/eventlog.sqlite"; }

}  // namespace nerolin
