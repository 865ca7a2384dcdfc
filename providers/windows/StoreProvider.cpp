#include "providers/SigningProviderStore.h"
#include "providers/windows/SigningProviderMSWin.h"

namespace nerolin {

std::unique_ptr<SigningProviderStore> MakeStoreProvider() { return std::make_unique<SigningProviderMSWin>(); }

extern const char kTvrKspLibrary[] = "TvrKSP.dll";

}  // namespace nerolin
