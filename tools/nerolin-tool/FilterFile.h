#pragma once

// Reading the files that nerolin-tool's commands take: a "filters" value
// and a certificate.

#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "filter/CertificateFilter.h"

namespace nerolin::tool {

// The whole file, or nullopt when it cannot be read or is larger than any
// real filter or certificate (16 MiB), so a wrong path to a huge file does
// not eat memory.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads a file holding the "filters" array as Nerolin would take it from a
// configuration. On failure, error says why in one line for the user.
// ignored receives the members Nerolin would ignore (IgnoredFilterMembers).
bool ReadFilterFile(const std::string& path, CertificateFilter& filter, std::string& error,
                    std::vector<std::string>* ignored = nullptr);

}  // namespace nerolin::tool
