#pragma once

// The test that the whitelist host is the maker's: the verified chain must
// end in one of the four built-in roots (compared by public key) and the end
// certificate must carry one of the two identifiers.

#include <vector>

#include <openssl/x509.h>

#include "common/OpenSslOwners.h"

namespace nerolin {

// End certificate first, root last; not owned.
using CertificateChain = std::vector<const X509*>;

// A context of chains as the TLS layer delivers it (null when there is none).
// True when one chain passes both tests; every refusal writes its entry.
bool CheckServerTrust(const std::vector<CertificateChain>* chains);

// The built-in roots in table order, decoded from the PEM built into the
// program (empty when the build carried none).
const std::vector<X509Ptr>& BuiltInRoots();
// The PEM text itself, for the TLS layer's trust anchors.
const char* BuiltInRootsPem();

}  // namespace nerolin
