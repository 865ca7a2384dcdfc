// A service's "filters" value tested against certificate bytes: the input is
// the filter's JSON, a zero byte, then the DER bytes (all JSON without one).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/JsonDocument.h"
#include "filter/CertificateFilter.h"
#include "filter/CertificateMatching.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t* end = data + size;
    const std::uint8_t* separator = std::find(data, end, std::uint8_t{0});
    const std::string_view json(reinterpret_cast<const char*>(data), static_cast<std::size_t>(separator - data));
    const std::uint8_t* der = separator == end ? end : separator + 1;
    const std::size_t derLength = static_cast<std::size_t>(end - der);

    rapidjson::Document document;
    nerolin::CertificateFilter filter;
    if (nerolin::ParseJsonDocument(json, document)) {
        nerolin::ReadCertificateFilter(document, filter);
        nerolin::IgnoredFilterMembers(document);
    }
    for (const bool checkValidity : {false, true}) {
        const bool passes = nerolin::PassesFilter(checkValidity, filter, der, derLength);
        if (nerolin::ExplainFilter(checkValidity, filter, der, derLength).passes != passes) __builtin_trap();
    }
    return 0;
}
