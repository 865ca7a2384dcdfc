#include "providers/TvrKspMultiString.h"

#include <cstring>

namespace nerolin {

Bytes BuildMultiString(const std::vector<std::string>& texts)
{
    std::size_t size = 1;
    for (const std::string& text : texts) size += text.size() + 1;
    Bytes buffer(size, 0);
    std::size_t offset = 0;
    for (const std::string& text : texts) {
        std::memcpy(buffer.data() + offset, text.data(), text.size());
        offset += text.size() + 1;
    }
    return buffer;
}

std::vector<std::string> ReadMultiString(const char* buffer, std::size_t maxTexts)
{
    std::vector<std::string> texts;
    if (!buffer) return texts;
    while (texts.size() < maxTexts && *buffer) {
        const std::size_t length = std::strlen(buffer);
        texts.emplace_back(buffer, length);
        buffer += length + 1;
    }
    return texts;
}

}  // namespace nerolin
