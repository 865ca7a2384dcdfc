#pragma once

// The updater's downloads: the feed into memory, the package into a file.
// HTTPS only (redirects too), the system's trust store (SSL_CERT_FILE and
// SSL_CERT_DIR honoured, as for the signing service), the stored proxy
// settings, bounded sizes and waits. A transfer stops soon after abort
// becomes true.

#include <atomic>
#include <cstdint>
#include <string>

namespace nerolin {

struct TransferLimits {
    long connectTimeoutSeconds = 30;
    long idleTimeoutSeconds = 60;  // less than 1 byte/s for this long ends the transfer
};

// GET into body; false with a short reason in error.
bool HttpsGetText(const std::string& url, std::size_t maxSize, const std::atomic<bool>& abort, std::string& body,
                  std::string& error);

// GET into the file at path (created or truncated, mode 0600). A transfer
// that fails or exceeds maxSize leaves no file behind.
bool HttpsGetFile(const std::string& url, std::uint64_t maxSize, const std::atomic<bool>& abort,
                  const std::string& path, std::string& error);

}  // namespace nerolin
