#pragma once

// A provider the composite may switch to for the signing itself, when more
// than one hash is to be signed: a PKCS#11 module of the card's maker or the
// maker's key-storage library. The composite always finds and selects
// certificates through the NSS provider and hands the alternative the
// certificate it found there.

#include "providers/SigningProvider.h"

namespace nerolin {

class SigningProviderAlternative : public SigningProvider {
protected:
    SigningProviderAlternative() = default;
};

}  // namespace nerolin
