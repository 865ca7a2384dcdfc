#include "tools/nerolin-tool/FilterFile.h"

#include <fstream>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include "common/JsonDocument.h"

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

bool ReadFilterFile(const std::string& path, CertificateFilter& filter, std::string& error,
                    std::vector<std::string>* ignored)
{
    const auto json = ReadWholeFile(path);
    if (!json) {
        error = "cannot read " + path;
        return false;
    }
    rapidjson::Document document;
    JsonRefusal refusal = JsonRefusal::Syntax;
    if (!ParseJsonDocument(*json, document, &refusal)) {
        switch (refusal) {
        case JsonRefusal::ZeroByte: error = path + ": refused: a zero byte is no JSON"; break;
        case JsonRefusal::TooDeep:
            error = path + ": refused: nested deeper than " + std::to_string(kMaxJsonDepth) + " levels";
            break;
        case JsonRefusal::Syntax:
            error = path + ": JSON error at offset " + std::to_string(document.GetErrorOffset()) + ": " +
                    rapidjson::GetParseError_En(document.GetParseError());
            break;
        }
        return false;
    }
    if (!ReadCertificateFilter(document, filter)) {
        error = path +
                ": refused: \"filters\" must be an array of objects, with \"keyUsage\" an object and "
                "\"acceptedAuthorityKeyIdentifiers\" an array of objects";
        return false;
    }
    if (ignored != nullptr) *ignored = IgnoredFilterMembers(document);
    return true;
}

}  // namespace nerolin::tool
