#pragma once

// Where the user's setting "CertificateDatabase" is read: the one place
// that knows how settings are stored.

#include <optional>
#include <string>

namespace nerolin {

inline constexpr char kCertificateDatabaseSetting[] = "CertificateDatabase";

// The stored value; nullopt when there is none.
std::optional<std::string> StoredCertificateDatabase();

}  // namespace nerolin
