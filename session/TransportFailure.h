#pragma once

// What the user reads when a transfer fails below HTTP: a plain sentence
// from the string table for each kind of failure. libcurl's own wording is
// technical and English only; it stays in the event entry with the code.

#include <string>

namespace nerolin {

// The text for a libcurl result code (CURLcode).
std::string TransportFailureText(int curlCode);

}  // namespace nerolin
