#pragma once

// The user's certificates as NSS offers them: those that a token of the
// database (the software token, a registered module, a module registered
// with p11-kit) holds together with their private key, found without a
// login: listing certificates never asks for a PIN.

#include <string>
#include <vector>

#include "common/Text.h"
#include "providers/linux/NssOwners.h"
#include "providers/TokenContents.h"

namespace nerolin {

// Each user certificate once, in the order of the tokens and of their
// certificates. A token that hides its keys until a login offers the
// certificates it could sign with (end-entity certificates whose kind of key
// it has a signing mechanism for): signing then says whether the key is
// there.
std::vector<CertificatePtr> ListUserCertificates();

Bytes CertificateDer(const CERTCertificate* certificate);

// The slots that hold the certificate and may hold its key, hardware tokens
// and other modules first, then NSS's own software token: a certificate
// whose key is on a card and in the software token alike is used on the
// card, as the card is what the user chose it for.
std::vector<SlotPtr> SlotsForCertificate(CERTCertificate* certificate);

// What the token in slot shows of the certificate's key, without a login.
TokenKey LookUpKey(PK11SlotInfo* slot, const CERTCertificate* certificate);

}  // namespace nerolin
