#pragma once

// Builds small DER certificates for the filter tests, each with exactly the
// extensions a case needs, all issued by one throw-away test CA name and
// signed with one P-256 key made once per process.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"

namespace nerolin::test {

struct AuthorityKeyIdSpec {
    std::optional<Bytes> keyIdentifier;
    // Issuer names in order; each is either a directory name given as
    // "CN=...,O=..." or, with the prefix "dns:", a DNS name.
    std::vector<std::string> issuerNames;
    std::optional<std::string> serialHex;  // "00A1", "-01"
};

struct CertificateSpec {
    std::string serialHex = "1234";
    std::optional<std::string> keyUsage;  // OpenSSL's list: "digitalSignature,nonRepudiation"
    std::optional<Bytes> qcStatements;    // the extension's DER content, as is
    std::optional<AuthorityKeyIdSpec> authorityKeyId;
    long notBeforeOffset = -3600;  // seconds from now
    long notAfterOffset = 3600;
};

Bytes MakeCertificate(const CertificateSpec& spec);

// DER helpers for hand-built extension contents.
Bytes DerOid(const char* dotted);
Bytes DerSequence(const std::vector<Bytes>& items);

// A QCStatement: SEQUENCE { oid [, info] }.
Bytes QcStatement(const char* oid, std::optional<Bytes> info = std::nullopt);

}  // namespace nerolin::test
