// Check 7: the event store as it is, without repairing it: path, size,
// entries, whether SQLite finds it whole, and the newest error entries.
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "eventlog/EventLogExport.h"
#include "eventlog/EventLogReporter.h"
#include "eventlog/EventStoreHealth.h"
#include "platform/LocalTime.h"
#include "tools/nerolin-tool/doctor/Checks.h"

#include <ctime>

namespace nerolin::tool::doctor {
namespace {

constexpr std::size_t kErrorEntries = 20;

long UtcOffsetNow() { return UtcOffsetAt(std::time(nullptr)); }

}  // namespace

CheckResult CheckEventStore()
{
    CheckResult check{"eventlog", strings::kDoctorCheckEventStore};
    check.errorBlocks = false;
    const std::string path = DefaultEventStorePath();
    check.Add("path", path);
    const EventStoreHealth health = InspectEventStore(path, kErrorEntries);
    if (!health.exists) {
        check.summary = LoadString(strings::kDoctorStoreAbsent);
        return check;
    }
    check.Add("size", std::to_string(health.size) + " bytes");
    switch (health.status) {
    case StoreStatus::Ok: break;
    case StoreStatus::Damaged:
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorStoreDamaged);
        return check;
    case StoreStatus::Busy:
        check.Raise(Verdict::Warning);
        check.summary = LoadString(strings::kDoctorStoreBusy);
        return check;
    case StoreStatus::Failed:
        check.Raise(Verdict::Error);
        check.summary = LoadString(strings::kDoctorStoreUnreadable);
        return check;
    }
    check.Add("entries", std::to_string(health.entries));
    // In the export's line form, so that support reads the same lines as in an export.
    const long offset = UtcOffsetNow();
    for (const StoredEntry& entry : health.lastErrors)
        check.Add("errorEntry", FormatExportLine(entry.time, entry.type, entry.strings, offset));
    check.summary = FormatText(LoadString(strings::kDoctorStoreOk).c_str(), static_cast<int>(health.entries));
    return check;
}

}  // namespace nerolin::tool::doctor
