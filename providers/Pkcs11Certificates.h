#pragma once

// The certificates of every present token of a module, gathered into an
// in-memory list for one FindCertificate or SelectCertificate. Each entry
// remembers the token's slot and the CKA_ID of its certificate object, which
// lead from a found certificate to its key.

#include <vector>

#include "common/Text.h"
#include "filter/CertificateFilter.h"
#include "providers/Pkcs11.h"
#include "providers/SigningResult.h"

namespace nerolin {

class Pkcs11Module;

struct TokenCertificate {
    Bytes der;
    CK_SLOT_ID slot = 0;
    Bytes id;  // CKA_ID of the certificate object, possibly empty
};

// Walks the slots with a token in list order and adds each certificate
// object that passes the filter. Failed at the first token whose
// certificates cannot be read; a slot whose session does not open is
// skipped with a warning. Every failure writes its entry.
SigningResult CollectCertificates(const Pkcs11Module& module, bool checkValidity, const CertificateFilter& filter,
                                  std::vector<TokenCertificate>& certificates);

// The first entry whose DER equals der byte for byte; nullptr when none does.
const TokenCertificate* FindExisting(const std::vector<TokenCertificate>& certificates, const Bytes& der);

}  // namespace nerolin
