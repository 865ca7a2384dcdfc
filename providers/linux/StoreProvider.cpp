#include "providers/linux/SigningProviderNSS.h"
#include "providers/SigningProviderStore.h"

namespace nerolin {

std::unique_ptr<SigningProviderStore> MakeStoreProvider() { return std::make_unique<SigningProviderNSS>(); }

// Linux's library search adds neither prefix nor suffix.
extern const char kTvrKspLibrary[] = "libTvrKSP.so";

}  // namespace nerolin
