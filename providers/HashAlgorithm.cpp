#include "providers/HashAlgorithm.h"

#include <array>

namespace nerolin {
namespace {

constexpr std::uint8_t kSha1Prefix[] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                        0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};
constexpr std::uint8_t kSha256Prefix[] = {0x30, 0x31, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                          0x65, 0x03, 0x04, 0x02, 0x01, 0x05, 0x00, 0x04, 0x20};
constexpr std::uint8_t kSha384Prefix[] = {0x30, 0x41, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                          0x65, 0x03, 0x04, 0x02, 0x02, 0x05, 0x00, 0x04, 0x30};
constexpr std::uint8_t kSha512Prefix[] = {0x30, 0x51, 0x30, 0x0d, 0x06, 0x09, 0x60, 0x86, 0x48, 0x01,
                                          0x65, 0x03, 0x04, 0x02, 0x03, 0x05, 0x00, 0x04, 0x40};

constexpr std::array<HashAlgorithm, 4> kAlgorithms{{
    {"1.3.14.3.2.26", "SHA-1", 20, kSha1Prefix},
    {"2.16.840.1.101.3.4.2.1", "SHA-256", 32, kSha256Prefix},
    {"2.16.840.1.101.3.4.2.2", "SHA-384", 48, kSha384Prefix},
    {"2.16.840.1.101.3.4.2.3", "SHA-512", 64, kSha512Prefix},
}};

}  // namespace

std::span<const HashAlgorithm> HashAlgorithms() { return kAlgorithms; }

const HashAlgorithm* FindHashAlgorithm(std::string_view oid)
{
    for (const auto& algorithm : kAlgorithms)
        if (algorithm.oid == oid) return &algorithm;
    return nullptr;
}

}  // namespace nerolin
