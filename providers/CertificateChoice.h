#pragma once

// The user's choice among the certificates of the system's store that pass
// the service's filter, in Nerolin's own choice of certificates: one home
// for the store providers of both systems.

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "common/Text.h"
#include "filter/CertificateFilter.h"
#include "providers/SigningResult.h"

namespace nerolin {

// listStore reads every certificate of the store (DER), anew on each round,
// since the user may insert a card while the empty choice tells them to;
// nullopt when the store cannot be read, which gives Failed. Success sets
// chosen to the chosen certificate's place in the last list; Canceled when
// the user closed the choice.
SigningResult ChooseFromStore(bool checkValidity, const CertificateFilter& filter,
                              const std::function<std::optional<std::vector<Bytes>>()>& listStore, std::size_t& chosen);

}  // namespace nerolin
