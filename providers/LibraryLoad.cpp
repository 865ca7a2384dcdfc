#include "providers/LibraryLoad.h"

#include "eventlog/EventLog.h"

namespace nerolin {

void WriteLoadFailure(const LoadFailure& failure) { WriteEventEntry(EntryType::Error, OpenFailureEntry(failure)); }

}  // namespace nerolin
