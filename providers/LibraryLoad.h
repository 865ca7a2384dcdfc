#pragma once

// The entry a failed library load writes, for the alternative providers.

#include "platform/DynamicLibrary.h"

namespace nerolin {

// The error entry of the loader's failure (OpenFailureEntry). No message
// box: a provider that cannot load leaves signing to the system's store
// provider, and the user is not asked about that.
void WriteLoadFailure(const LoadFailure& failure);

}  // namespace nerolin
