#include "platform/SystemTrust.h"

#include <cstdlib>

namespace nerolin {

SystemTrustSource SystemTrust()
{
    SystemTrustSource source;
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr) source.bundleFile = file;
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir != nullptr) source.certificateFolder = dir;
    return source;
}

}  // namespace nerolin
