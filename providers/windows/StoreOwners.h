#pragma once

// Owners of the certificate store's and the key providers' handles: each
// releases its handle with the call the system pairs with the one that
// made it.

// windows.h first: the others need its types.
#include <windows.h>

#include <ncrypt.h>
#include <wincrypt.h>

#include <memory>
#include <type_traits>

namespace nerolin {

struct StoreCloser {
    void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using StorePtr = std::unique_ptr<void, StoreCloser>;

struct CertificateFreer {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
using CertificateContextPtr = std::unique_ptr<const CERT_CONTEXT, CertificateFreer>;

// HCRYPTPROV, HCRYPTHASH and NCRYPT_KEY_HANDLE are integers, not pointers:
// one small owner over the value, released only where the system says the
// caller frees it.
template <typename Handle, auto Release>
class IntegerHandle {
public:
    IntegerHandle() = default;
    explicit IntegerHandle(Handle handle, bool owned = true) : handle_(handle), owned_(owned) {}
    ~IntegerHandle() { reset(); }
    IntegerHandle(IntegerHandle&& other) noexcept : handle_(other.handle_), owned_(other.owned_) { other.handle_ = 0; }
    IntegerHandle& operator=(IntegerHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = other.handle_;
            owned_ = other.owned_;
            other.handle_ = 0;
        }
        return *this;
    }
    IntegerHandle(const IntegerHandle&) = delete;
    IntegerHandle& operator=(const IntegerHandle&) = delete;

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    void reset()
    {
        if (handle_ && owned_) Release(handle_);
        handle_ = 0;
    }

private:
    Handle handle_ = 0;
    bool owned_ = true;
};

inline void ReleaseProvider(HCRYPTPROV provider) { CryptReleaseContext(provider, 0); }
inline void DestroyHash(HCRYPTHASH hash) { CryptDestroyHash(hash); }
inline void FreeKey(NCRYPT_KEY_HANDLE key) { NCryptFreeObject(key); }
inline void FreeStorageProvider(NCRYPT_PROV_HANDLE provider) { NCryptFreeObject(provider); }

using CryptProviderHandle = IntegerHandle<HCRYPTPROV, ReleaseProvider>;
using CryptHashHandle = IntegerHandle<HCRYPTHASH, DestroyHash>;
using NCryptKeyHandle = IntegerHandle<NCRYPT_KEY_HANDLE, FreeKey>;
using NCryptProviderHandle = IntegerHandle<NCRYPT_PROV_HANDLE, FreeStorageProvider>;

// The key of a certificate as CryptAcquireCertificatePrivateKey hands it
// out: a CryptoAPI provider with its key spec (AT_SIGNATURE or
// AT_KEYEXCHANGE), or a CNG key (CERT_NCRYPT_KEY_SPEC), released only when the caller-frees
// flag said so.
struct AcquiredKey {
    DWORD keySpec = 0;
    CryptProviderHandle provider;
    NCryptKeyHandle key;
    bool IsCng() const { return keySpec == CERT_NCRYPT_KEY_SPEC; }
};

// CryptAcquireCertificatePrivateKey with flags; false (GetLastError set)
// when the key cannot be reached.
inline bool AcquireCertificateKey(const CERT_CONTEXT* certificate, DWORD flags, AcquiredKey& acquired)
{
    HCRYPTPROV_OR_NCRYPT_KEY_HANDLE handle = 0;
    DWORD keySpec = 0;
    BOOL callerFrees = FALSE;
    if (!CryptAcquireCertificatePrivateKey(certificate, flags, nullptr, &handle, &keySpec, &callerFrees)) return false;
    acquired.keySpec = keySpec;
    if (keySpec == CERT_NCRYPT_KEY_SPEC)
        acquired.key = NCryptKeyHandle(handle, callerFrees != FALSE);
    else
        acquired.provider = CryptProviderHandle(handle, callerFrees != FALSE);
    return true;
}

}  // namespace nerolin
