#include "tools/nerolin-tool/FilterFile.h"

#include <fstream>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

namespace nerolin::tool {

namespace {
constexpr std::streamoff kMaxFileSize = 16 * 1024 * 1024;
}

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFileSize) return std::nullopt;
    in.seekg(0);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), size)) return std::nullopt;
    return text;
}

bool ReadFilterFile(const std::string& path, CertificateFilter& filter, std::string& error)
{
    const auto json = ReadWholeFile(path);
    if (!json) {
        error = "cannot read " + path;
        return false;
    }
    rapidjson::Document document;
    document.Parse(json->data(), json->size());
    if (document.HasParseError()) {
        error = path + ": JSON error at offset " + std::to_string(document.GetErrorOffset()) + ": " +
                rapidjson::GetParseError_En(document.GetParseError());
        return false;
    }
    if (!ReadCertificateFilter(document, filter)) {
        error = path +
                ": refused: \"filters\" must be an array of objects, with \"keyUsage\" an object and "
                "\"acceptedAuthorityKeyIdentifiers\" an array of objects";
        return false;
    }
    return true;
}

}  // namespace nerolin::tool
