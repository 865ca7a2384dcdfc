// Base64 in both of its layouts: any text decodes or is refused, and any
// bytes written read back the same.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const nerolin::Bytes bytes(data, data + size);
    for (const auto format : {nerolin::Base64Format::Base64Header, nerolin::Base64Format::Base64}) {
        nerolin::Base64Decode(text, format);
        if (nerolin::Base64Decode(nerolin::Base64Encode(bytes, format), format) != bytes) __builtin_trap();
    }
    return 0;
}
