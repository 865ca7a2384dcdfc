#include "filter/CertificateFilter.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/filter/FilterJson.h"

namespace nerolin {
namespace {

using test::ReadFilterJson;

TEST(ReadCertificateFilter, RefusesValuesThatAreNotArraysOfWellFormedObjects)
{
    const char* refused[] = {
        "null",
        "{}",
        "\"[]\"",
        "1",
        "true",
        "[1]",
        "[{}, \"x\"]",  // refused even after a good element
        R"([{"keyUsage": true}])",
        R"([{"keyUsage": null}])",
        R"([{"keyUsage": []}])",
        R"([{"acceptedAuthorityKeyIdentifiers": {}}])",
        R"([{"acceptedAuthorityKeyIdentifiers": "ABCD"}])",
        R"([{"acceptedAuthorityKeyIdentifiers": [{}, "ABCD"]}])",
        R"([{"acceptedAuthorityKeyIdentifiers": [null]}])",
    };
    for (const char* json : refused) {
        CertificateFilter filter;
        EXPECT_FALSE(ReadFilterJson(json, filter)) << json;
    }
}

TEST(ReadCertificateFilter, EmptyArrayAndEmptyObjectCheckNothing)
{
    CertificateFilter filter;
    ASSERT_TRUE(ReadFilterJson("[]", filter));
    EXPECT_TRUE(filter.empty());

    ASSERT_TRUE(ReadFilterJson("[{}]", filter));
    ASSERT_EQ(filter.size(), 1u);
    const auto& criteria = filter[0];
    EXPECT_FALSE(criteria.keyUsage || criteria.hasQCStatement || criteria.hasQCCompliance || criteria.hasQCQSCD ||
                 criteria.qcType || criteria.fingerprint || criteria.serialNumber ||
                 criteria.acceptedAuthorityKeyIdentifiers);
}

TEST(ReadCertificateFilter, WronglyTypedMembersAreDroppedAndOnlyWiden)
{
    CertificateFilter filter;
    ASSERT_TRUE(ReadFilterJson(R"([{
        "keyUsage": {"digitalSignature": "true", "nonRepudiation": 1, "keyCertSign": false, "decipherOnly": true},
        "hasQCStatement": "true", "hasQCCompliance": null, "hasQCQSCD": false,
        "fingerprint": 12, "serialNumber": " 00a1 ", "unknownMember": true
    }])",
                               filter));
    ASSERT_EQ(filter.size(), 1u);
    const auto& criteria = filter[0];
    ASSERT_TRUE(criteria.keyUsage);  // present even though most of it was dropped
    EXPECT_FALSE(criteria.keyUsage->digitalSignature);
    EXPECT_FALSE(criteria.keyUsage->nonRepudiation);
    EXPECT_EQ(criteria.keyUsage->keyCertSign, false);
    EXPECT_EQ(criteria.keyUsage->decipherOnly, true);
    EXPECT_FALSE(criteria.hasQCStatement);
    EXPECT_FALSE(criteria.hasQCCompliance);
    EXPECT_EQ(criteria.hasQCQSCD, false);
    EXPECT_FALSE(criteria.fingerprint);
    EXPECT_EQ(criteria.serialNumber, " 00a1 ");  // kept as sent, not trimmed
}

// What the reader drops in silence is what a service developer must hear of:
// every dropped member, and nothing that the reader takes.
TEST(IgnoredFilterMembers, NamesEveryMemberTheReaderDrops)
{
    rapidjson::Document document;
    document.Parse(R"([
        {"keyUsage": {"nonRepudation": true, "digitalSignature": "true", "keyCertSign": false},
         "hasQCStatement": "true", "hasQCQSCD": false, "qcType": "yendo", "fingerprint": 12,
         "serialNumber": " 00a1 ", "foo": 1},
        {"acceptedAuthorityKeyIdentifiers": [{"keyIdentifier": "AB", "keyIdentifer": "CD", "authorityCertSerialNumber": 5}]},
        {"qcType": "ESEAL", "keyUsage": {}}
    ])");
    ASSERT_FALSE(document.HasParseError());
    const std::vector<std::string> expected = {
        "[0].keyUsage.nonRepudation: unknown member, ignored",
        "[0].keyUsage.digitalSignature: not true or false, ignored",
        "[0].hasQCStatement: not true or false, ignored",
        "[0].qcType: not \"YENDO\", \"ESEAL\" or \"WEB\", ignored",
        "[0].fingerprint: not a string, ignored",
        "[0].foo: unknown member, ignored",
        "[1].acceptedAuthorityKeyIdentifiers[0].keyIdentifer: unknown member, ignored",
        "[1].acceptedAuthorityKeyIdentifiers[0].authorityCertSerialNumber: not a string, ignored",
    };
    EXPECT_EQ(IgnoredFilterMembers(document), expected);
}

TEST(ReadCertificateFilter, QcTypeIsOneOfThreeExactWords)
{
    const std::pair<const char*, std::optional<QcType>> cases[] = {
        {R"("YENDO")", QcType::ElectronicSignature},
        {R"("ESEAL")", QcType::ElectronicSeal},
        {R"("WEB")", QcType::WebsiteAuthentication},
        {R"("yendo")", std::nullopt},
        {R"("WEB ")", std::nullopt},
        {R"("")", std::nullopt},
        {"0", std::nullopt},
        {R"(["WEB"])", std::nullopt},
    };
    for (const auto& [value, expected] : cases) {
        CertificateFilter filter;
        ASSERT_TRUE(ReadFilterJson(std::string(R"([{"qcType": )") + value + "}]", filter)) << value;
        EXPECT_EQ(filter.at(0).qcType, expected) << value;
    }
}

TEST(ReadCertificateFilter, AuthorityKeyIdentifiersKeepTheirStringMembers)
{
    CertificateFilter filter;
    ASSERT_TRUE(ReadFilterJson(R"([
        {"acceptedAuthorityKeyIdentifiers": []},
        {"acceptedAuthorityKeyIdentifiers": [{}, {"keyIdentifier": "ab01", "authorityCertIssuer": "CN=CA",
                                                  "authorityCertSerialNumber": 7}]}
    ])",
                               filter));
    ASSERT_EQ(filter.size(), 2u);
    ASSERT_TRUE(filter[0].acceptedAuthorityKeyIdentifiers);
    EXPECT_TRUE(filter[0].acceptedAuthorityKeyIdentifiers->empty());  // present and empty

    const auto& identifiers = *filter[1].acceptedAuthorityKeyIdentifiers;
    ASSERT_EQ(identifiers.size(), 2u);
    EXPECT_FALSE(identifiers[0].keyIdentifier || identifiers[0].authorityCertIssuer ||
                 identifiers[0].authorityCertSerialNumber);
    EXPECT_EQ(identifiers[1].keyIdentifier, "ab01");
    EXPECT_EQ(identifiers[1].authorityCertIssuer, "CN=CA");
    EXPECT_FALSE(identifiers[1].authorityCertSerialNumber);
}

TEST(ReadCertificateFilter, KeepsArrayOrderAndTheFirstOfRepeatedNames)
{
    CertificateFilter filter;
    ASSERT_TRUE(ReadFilterJson(R"([{"fingerprint": "A", "fingerprint": "B"}, {"serialNumber": "01"}])", filter));
    ASSERT_EQ(filter.size(), 2u);
    EXPECT_EQ(filter[0].fingerprint, "A");
    EXPECT_EQ(filter[1].serialNumber, "01");
}

}  // namespace
}  // namespace nerolin
