#pragma once

#include <stdexcept>
#include <string>

#include <rapidjson/document.h>

#include "filter/CertificateFilter.h"

namespace nerolin::test {

// Parses json (which must be well-formed) and reads it as a "filters" value.
inline bool ReadFilterJson(const std::string& json, CertificateFilter& filter)
{
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (document.HasParseError()) throw std::invalid_argument("bad test JSON: " + json);
    return ReadCertificateFilter(document, filter);
}

}  // namespace nerolin::test
