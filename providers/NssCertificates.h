#pragma once

// The user's certificates as NSS offers them: those with a private key on
// some token of the database (the software token or a registered module).

#include <string>
#include <vector>

#include "common/Text.h"
#include "providers/NssOwners.h"
#include "providers/NssPinCallback.h"

namespace nerolin {

// Each user certificate once, in NSS's order. A certificate on two tokens is
// one CERTCertificate (NSS lists it once per token). Tokens whose
// certificates are private may ask for their PIN through pins. ok is false
// when NSS could not list at all (reported).
std::vector<CertificatePtr> ListUserCertificates(PinContext& pins, bool& ok);

Bytes CertificateDer(const CERTCertificate* certificate);

// The slots that hold the certificate, hardware tokens and other modules
// first, then NSS's own software token: a certificate whose key is on a card
// and in the software token alike is used on the card, as the card is what
// the user chose it for.
std::vector<SlotPtr> SlotsForCertificate(CERTCertificate* certificate);

// The common name of the module of the slot ("NSS Internal PKCS #11 Module", ...).
std::string ModuleName(PK11SlotInfo* slot);
// The slot's description, without its blank padding.
std::string SlotDescription(PK11SlotInfo* slot);

}  // namespace nerolin
