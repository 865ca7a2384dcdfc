#include "providers/Pkcs11ObjectSearch.h"

#include "providers/Pkcs11Session.h"

namespace nerolin {

Pkcs11ObjectSearch::Pkcs11ObjectSearch(const Pkcs11Session& session, std::span<CK_ATTRIBUTE> search,
                                       const SearchChecks& checks)
    : session_(session),
      checks_(checks)
{
    const CK_RV begun = Call(session_.functions(), &CK_FUNCTION_LIST::C_FindObjectsInit, checks_.init,
                             session_.handle(), search.data(), static_cast<CK_ULONG>(search.size()));
    active_ = begun == CKR_OK;
    failed_ = !active_;
    exhausted_ = !active_;
}

Pkcs11ObjectSearch::~Pkcs11ObjectSearch()
{
    if (active_) Call(session_.functions(), &CK_FUNCTION_LIST::C_FindObjectsFinal, checks_.finish, session_.handle());
}

std::optional<CK_OBJECT_HANDLE> Pkcs11ObjectSearch::Next()
{
    if (exhausted_) return std::nullopt;
    CK_OBJECT_HANDLE object = CK_INVALID_HANDLE;
    CK_ULONG count = 0;
    const CK_RV next = Call(session_.functions(), &CK_FUNCTION_LIST::C_FindObjects, checks_.find, session_.handle(),
                            &object, CK_ULONG{1}, &count);
    if (next != CKR_OK) failed_ = true;
    if (next != CKR_OK || count == 0) {
        exhausted_ = true;
        return std::nullopt;
    }
    if (++found_ == kMaximumObjects) exhausted_ = true;
    return object;
}

}  // namespace nerolin
