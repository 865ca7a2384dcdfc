#pragma once

// Owners of the NSS objects that Nerolin holds: each a std::unique_ptr whose
// deleter is the object's own release function.

#include <memory>

#include <cert.h>
#include <keyhi.h>
#include <pk11pub.h>
#include <secitem.h>
#include <secport.h>

namespace nerolin {

template <auto ReleaseFunction>
struct NssDeleter {
    template <typename T>
    void operator()(T* object) const
    {
        ReleaseFunction(object);
    }
};

template <typename T, auto ReleaseFunction>
using NssPtr = std::unique_ptr<T, NssDeleter<ReleaseFunction>>;

namespace detail {
inline void FreeSecItem(SECItem* item) { SECITEM_FreeItem(item, PR_TRUE); }
// Arenas may have held key material or PINs: zero them when they go.
inline void FreeArena(PLArenaPool* arena) { PORT_FreeArena(arena, PR_TRUE); }
inline void DestroyContext(PK11Context* context) { PK11_DestroyContext(context, PR_TRUE); }
}  // namespace detail

using CertificatePtr = NssPtr<CERTCertificate, CERT_DestroyCertificate>;
using CertificateListPtr = NssPtr<CERTCertList, CERT_DestroyCertList>;
using PrivateKeyPtr = NssPtr<SECKEYPrivateKey, SECKEY_DestroyPrivateKey>;
using PrivateKeyListPtr = NssPtr<SECKEYPrivateKeyList, SECKEY_DestroyPrivateKeyList>;
using PublicKeyPtr = NssPtr<SECKEYPublicKey, SECKEY_DestroyPublicKey>;
using SlotPtr = NssPtr<PK11SlotInfo, PK11_FreeSlot>;
using SlotListPtr = NssPtr<PK11SlotList, PK11_FreeSlotList>;
using SymmetricKeyPtr = NssPtr<PK11SymKey, PK11_FreeSymKey>;
using Pk11ContextPtr = NssPtr<PK11Context, detail::DestroyContext>;
using SecItemPtr = NssPtr<SECItem, detail::FreeSecItem>;
using ArenaPtr = NssPtr<PLArenaPool, detail::FreeArena>;

}  // namespace nerolin
