#pragma once

// One search for objects in a session: C_FindObjectsInit, C_FindObjects one
// handle at a time, and C_FindObjectsFinal, which always follows a search
// that began, however the caller leaves it (an early match, a failure).

#include <cstddef>
#include <optional>
#include <span>

#include "providers/Pkcs11.h"

namespace nerolin {

class Pkcs11Session;

struct SearchChecks {
    CallCheck init{"C_FindObjectsInit"};
    CallCheck find{"C_FindObjects"};
    CallCheck finish{"C_FindObjectsFinal", EntryType::Warning};
};
inline constexpr SearchChecks kUnloggedSearch{kUnlogged, kUnlogged, kUnlogged};

class Pkcs11ObjectSearch {
public:
    // More objects than any token holds: the search ends there, so that a
    // module that never answers "no more" cannot keep the caller forever.
    static constexpr std::size_t kMaximumObjects = 1024;

    // Begins the search for the objects that match every attribute of
    // search; session must stay open while this object lives.
    Pkcs11ObjectSearch(const Pkcs11Session& session, std::span<CK_ATTRIBUTE> search,
                       const SearchChecks& checks = SearchChecks{});
    ~Pkcs11ObjectSearch();
    Pkcs11ObjectSearch(const Pkcs11ObjectSearch&) = delete;
    Pkcs11ObjectSearch& operator=(const Pkcs11ObjectSearch&) = delete;

    // The next matching object; nullopt when none is left, when the search
    // did not begin or a C_FindObjects failed, and after kMaximumObjects.
    std::optional<CK_OBJECT_HANDLE> Next();

    // C_FindObjectsInit or a C_FindObjects failed.
    bool failed() const { return failed_; }

private:
    const Pkcs11Session& session_;
    SearchChecks checks_;
    bool active_ = false;
    bool failed_ = false;
    bool exhausted_ = false;
    std::size_t found_ = 0;
};

}  // namespace nerolin
