#pragma once

// The provider each signing run drives: a fresh composite. Kept apart from
// the Qt files because NSS's headers use names that Qt defines as macros.

#include <memory>

#include "providers/SigningProvider.h"

namespace nerolin {

std::unique_ptr<SigningProvider> MakeSessionProvider();

}  // namespace nerolin
