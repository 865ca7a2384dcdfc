#pragma once

// Hands all hashes of a session in one call to the maker's key-storage
// library (TvrKSP.dll, libTvrKSP.so on Linux), which finds the key for the certificate, asks its
// own PIN and signs. The only provider that signs a batch; its SignHash is
// unsupported. The library's inner working is its own; only its three entry
// points, their buffers and status codes are relied on here.

#include <cstdint>
#include <string>

#include "platform/DynamicLibrary.h"
#include "providers/SigningProviderAlternative.h"

namespace nerolin {

// The library's file name, found by the system's library search; each
// system's own (providers/linux, providers/windows).
extern const char kTvrKspLibrary[];

// The entry points, in the platform's standard calling convention. The
// library is C; the parent window is an opaque handle that this program
// never has below its window layer (null).
extern "C" {
using TvrKSPSignHashesBase64Function = std::uint32_t(NEROLIN_STDCALL*)(const char* certificate,
                                                                       const char* hashAlgorithm,
                                                                       const char* unsignedHashes, char** signedHashes,
                                                                       std::uint32_t flags, void* parentWindow);
using TvrKSPFreeBufferFunction = void(NEROLIN_STDCALL*)(char* buffer);
using GetKeyStorageInterfaceFunction = std::uint32_t(NEROLIN_STDCALL*)(const char16_t* providerName,
                                                                       void** functionTable, std::uint32_t flags);
}

// The library's status as a result: 0 Success, 0x8010006B PinIncorrect,
// 0x8010006C PinLocked, 0x8010006E Canceled, anything else Failed.
SigningResult TvrKspStatusResult(std::uint32_t status);

class SigningProviderTvrKSP : public SigningProviderAlternative {
public:
    explicit SigningProviderTvrKSP(std::string library = kTvrKspLibrary);
    ~SigningProviderTvrKSP() override;

    void Initialize() override;
    void Finalize() override;
    SigningResult FindCertificate(const std::string& certificate) override;
    SigningResult SelectCertificate(bool checkValidity, const CertificateFilter& filter,
                                    std::string& certificate) override;
    void BeginSigning(std::uint32_t) override {}
    void EndSigning() override {}
    SigningResult SignHash(const std::string& hashAlgorithm, const std::uint8_t* hash, std::int32_t length,
                           std::string& signedHash) override;
    SigningResult SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries) override;

private:
    std::string libraryName_;
    DynamicLibrary library_;
    bool loaded_ = false;
    TvrKSPSignHashesBase64Function signHashes_ = nullptr;
    TvrKSPFreeBufferFunction freeBuffer_ = nullptr;
    GetKeyStorageInterfaceFunction getInterface_ = nullptr;
    std::string certificateText_;
};

}  // namespace nerolin
