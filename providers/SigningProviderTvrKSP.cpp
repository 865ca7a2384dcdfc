#include "providers/SigningProviderTvrKSP.h"

#include <utility>

#include "eventlog/EventLog.h"
#include "providers/LibraryLoad.h"
#include "providers/TvrKspMultiString.h"

namespace nerolin {
namespace {

template <typename Function>
bool FindEntryPoint(const DynamicLibrary& library, const char* name, Function& function)
{
    LoadFailure failure;
    function = EntryPoint<Function>(library, name, failure);
    if (function) return true;
    WriteEventEntry(EntryType::Error, std::string("GetProcAddress ") + name + " failed");
    ReportSystemError("GetProcAddress", failure.code, true, failure.text);
    return false;
}

}  // namespace

SigningResult TvrKspStatusResult(std::uint32_t status)
{
    switch (status) {
    case 0: return SigningResult::Success;
    case 0x8010006B: return SigningResult::PinIncorrect;
    case 0x8010006C: return SigningResult::PinLocked;
    case 0x8010006E: return SigningResult::Canceled;
    default: return SigningResult::Failed;
    }
}

SigningProviderTvrKSP::SigningProviderTvrKSP(std::string library) : libraryName_(std::move(library)) {}

// Unloading is Finalize's; a provider destroyed without it still does not
// leak the library: its owner unloads it.
SigningProviderTvrKSP::~SigningProviderTvrKSP() = default;

void SigningProviderTvrKSP::Initialize()
{
    if (library_.loaded()) return;
    LoadFailure failure;
    if (!library_.Open(libraryName_, failure)) {
        WriteEventEntry(EntryType::Error, "Load TvrKSP library failed");
        WriteLoadFailure(failure);
        return;
    }
    WriteEventEntry(EntryType::Information, "Load TvrKSP library succeeded");
    if (!FindEntryPoint(library_, "TvrKSPSignHashesBase64", signHashes_) ||
        !FindEntryPoint(library_, "TvrKSPFreeBuffer", freeBuffer_) ||
        !FindEntryPoint(library_, "GetKeyStorageInterface", getInterface_))
        return;
    loaded_ = true;
}

void SigningProviderTvrKSP::Finalize()
{
    // Entry points of an unloaded library must never be called again.
    if (library_.Close()) {
        loaded_ = false;
        signHashes_ = nullptr;
        freeBuffer_ = nullptr;
        getInterface_ = nullptr;
    }
}

SigningResult SigningProviderTvrKSP::FindCertificate(const std::string& certificate)
{
    if (!loaded_) return SigningResult::Failed;
    // The library is not asked whether it knows the certificate: it finds
    // the key itself when it signs.
    certificateText_ = certificate;
    return SigningResult::Success;
}

SigningResult SigningProviderTvrKSP::SelectCertificate(bool, const CertificateFilter&, std::string&)
{
    return SigningResult::Failed;
}

SigningResult SigningProviderTvrKSP::SignHash(const std::string&, const std::uint8_t*, std::int32_t, std::string&)
{
    WriteEventEntry(EntryType::Information, "SignHash started with TvrKSP signing provider");
    return SigningResult::Unsupported;
}

SigningResult SigningProviderTvrKSP::SignHashes(const std::string& hashAlgorithm, std::vector<HashEntry>& entries)
{
    WriteEventEntry(EntryType::Information, "SignHashes started with TvrKSP signing provider");
    if (!loaded_ || !signHashes_ || !freeBuffer_ || !getInterface_) return SigningResult::Failed;

    void* table = nullptr;
    if (getInterface_(nullptr, &table, 0) != 0) return SigningResult::Failed;

    std::vector<std::string> hashes;
    hashes.reserve(entries.size());
    for (const HashEntry& entry : entries) hashes.push_back(entry.unsignedHash);
    const Bytes input = BuildMultiString(hashes);

    char* output = nullptr;
    const std::uint32_t status = signHashes_(certificateText_.c_str(), hashAlgorithm.c_str(),
                                             reinterpret_cast<const char*>(input.data()), &output, 0, nullptr);
    if (status != 0) return TvrKspStatusResult(status);
    // Success without a buffer breaks the library's contract: nothing was
    // signed, so it must not pass as a signed batch.
    if (!output) return SigningResult::Failed;

    const std::vector<std::string> signatures = ReadMultiString(output, entries.size());
    for (std::size_t i = 0; i < signatures.size(); ++i) entries[i].signedHash = signatures[i];
    freeBuffer_(output);
    return SigningResult::Success;
}

}  // namespace nerolin
