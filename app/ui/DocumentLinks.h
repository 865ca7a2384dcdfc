#pragma once

// The scheme of a document's download URL, as the URL parser reads it.

#include <optional>
#include <string>

namespace nerolin {

// Lower-case scheme ("https", "http", ...); nullopt when the text is not a URL
// that the parser accepts.
std::optional<std::string> UrlScheme(const std::string& url);

}  // namespace nerolin
