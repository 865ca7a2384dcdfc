#pragma once

// Bytes from the network quoted in an event entry are cut at 64 KiB, so a
// hostile answer cannot flood the event store. (The store itself turns any
// byte that is not UTF-8 into U+FFFD.)

#include <cstddef>
#include <string>
#include <string_view>

namespace nerolin {

inline constexpr std::size_t kMaxQuotedBytes = 64 * 1024;

inline std::string QuotedText(std::string_view bytes) { return std::string(bytes.substr(0, kMaxQuotedBytes)); }

}  // namespace nerolin
