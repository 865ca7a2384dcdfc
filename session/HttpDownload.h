#pragma once

// Files fetched over HTTPS for the updater: the feed into memory, a package
// into a file. The handles are set up as for the signing service (user
// agent, waits, the stored proxy and its credentials, the system's trust
// store), with what a download needs besides: redirects are followed (HTTPS
// only, at most five), an HTTP error status fails the transfer, the size is
// bounded and an abort flag ends the transfer within a moment. Nothing is
// shown or written to the event log here, and no untrusted certificate is
// offered to the user: the caller words the failure from the short reason.

#include <atomic>
#include <cstdint>
#include <string>

namespace nerolin {

// GET into body; false with a short reason in error.
bool DownloadText(const std::string& url, std::size_t maxSize, const std::atomic<bool>& abort, std::string& body,
                  std::string& error);

// GET into the file at path (created or truncated, mode 0600). A transfer
// that fails, is aborted or exceeds maxSize leaves no file behind.
bool DownloadFile(const std::string& url, std::uint64_t maxSize, const std::atomic<bool>& abort,
                  const std::string& path, std::string& error);

}  // namespace nerolin
