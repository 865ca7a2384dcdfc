#pragma once

// What a token holds, asked of the token's module directly, in a read-only
// session of its own: its certificates, and whether it holds the private key
// of one of them. NSS's own questions (PK11_FindPrivateKeyFromCert,
// PK11_KeyForCertExists, PK11_ListCerts) log in first: asked while
// certificates are only listed, they would want the PIN of every token, the
// ones the user is not going to use included. And NSS's certificate lists
// of a token that hides its keys come from a cache that stays empty until a
// login (OpenSC's card readers).
//
// Kept free of PKCS#11 declarations: its callers see NSS's, which cannot
// meet p11-kit's in one file. functionList is the module's CK_FUNCTION_LIST,
// slot a CK_SLOT_ID.

#include <vector>

#include "common/Text.h"

namespace nerolin {

struct TokenKey {
    enum class Presence {
        Found,    // a private-key object pairs with the certificate
        Likely,   // only its public key is in sight: private keys show after a login
        Unknown,  // nothing pairs with it, and the token may hide its keys until a login
        Absent,   // the token shows every key it has, and none pairs with the certificate
    };
    bool certificateOnToken = false;  // a certificate object holds the certificate's bytes
    Presence presence = Presence::Unknown;
    Bytes id;                  // CKA_ID of the key (Found, Likely)
    unsigned long handle = 0;  // the private-key object (Found)
};

// The DER bytes of the token's certificate objects that anyone may read.
std::vector<Bytes> TokenCertificates(void* functionList, unsigned long slot);

// A key pairs with the certificate by the CKA_ID of the certificate object,
// else by the CKA_ID of the public-key object that equals the certificate's
// key (some tokens give a certificate and its key different identifiers).
TokenKey LookUpTokenKey(void* functionList, unsigned long slot, const Bytes& certificateDer);

}  // namespace nerolin
