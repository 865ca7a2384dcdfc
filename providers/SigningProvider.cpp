#include "providers/SigningProvider.h"

#include <climits>
#include <cstdio>
#include <string>

#include "common/Text.h"
#include "eventlog/EventLog.h"

namespace nerolin {

SigningResult SigningProvider::SignUnsignedHash(const std::string& hashAlgorithm, const std::string& unsignedHash,
                                                std::string& signedHash)
{
    // Base64 is ASCII, so decoding the UTF-8 text directly gives what a
    // detour through UTF-16 would; text that is not valid UTF-8 simply does
    // not decode, rather than throwing out of the provider.
    const Bytes hash = Base64Decode(unsignedHash, Base64Format::Base64);

    if (!hashAlgorithm.empty()) {
        const HashAlgorithm* algorithm = FindHashAlgorithm(hashAlgorithm);
        if (!algorithm) return SigningResult::Failed;
        if (hash.size() != algorithm->digestLength) {
            char text[96];
            std::snprintf(text, sizeof text, "unsigned hash length expected %d, but was %d",
                          static_cast<int>(algorithm->digestLength), static_cast<int>(hash.size()));
            std::string entry = text;
            // Zero bytes from a text that was there: the service's Base64 is
            // what failed (unpadded, URL-safe), not the hash it encodes.
            if (hash.empty() && !unsignedHash.empty()) entry += " (the text is not standard padded Base64)";
            WriteEventEntry(EntryType::Error, entry);
            return SigningResult::Failed;
        }
    }
    // SignHash takes a signed 32-bit count; a Base64 text that large is
    // already beyond what the session reader accepts, but never wrap.
    if (hash.size() > static_cast<std::size_t>(INT32_MAX)) return SigningResult::Failed;
    return SignHash(hashAlgorithm, hash.data(), static_cast<std::int32_t>(hash.size()), signedHash);
}

void ReportNothingToChoose(bool checkValidity, const CertificateFilter& filter)
{
    std::string text = "No certificate to choose from: none of the user's certificates passes ";
    if (filter.empty()) {
        text += checkValidity ? "the validity check" : "(there are none)";
    } else {
        text += "the session's filter (" + std::to_string(filter.size()) + " criteria sets)";
        if (checkValidity) text += " and the validity check";
    }
    WriteEventEntry(EntryType::Warning, text);
}

}  // namespace nerolin
