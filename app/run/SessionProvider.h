#pragma once

// The provider each signing run drives: a fresh composite. A function of
// its own, so the windows that start runs never include NSS's headers,
// whose names Qt defines as macros.

#include <memory>

#include "providers/SigningProvider.h"

namespace nerolin {

std::unique_ptr<SigningProvider> MakeSessionProvider();

}  // namespace nerolin
