#include "app/run/SessionProvider.h"

#include "providers/SigningProviderTvr.h"

namespace nerolin {

std::unique_ptr<SigningProvider> MakeSessionProvider() { return std::make_unique<SigningProviderTvr>(); }

}  // namespace nerolin
