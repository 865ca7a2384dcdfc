#pragma once

// Why the system did not trust a server's certificate, in the user's
// language: the verifier's usual reasons come from the string table, any
// other stays in the verifier's own words.

#include <string>

#include <QString>

namespace nerolin {

QString VerifyReasonText(const std::string& verifierText);

}  // namespace nerolin
