#include "providers/CertificateDatabaseSetting.h"

namespace nerolin {

// Until the settings store is available no value is stored, and the
// default database is used.
std::optional<std::string> StoredCertificateDatabase()
{
    return std::nullopt;
}

}  // namespace nerolin
