#include "platform/SystemTrust.h"

namespace nerolin {

// The roots of the user's and the machine's certificate stores.
SystemTrustSource SystemTrust() { return SystemTrustSource{.nativeStore = true}; }

}  // namespace nerolin
