#include "filter/CertificateFilter.h"

#include <string_view>
#include <utility>

namespace nerolin {
namespace {

// RapidJSON's FindMember searches from the front, so a name given twice
// counts with its first occurrence.
const rapidjson::Value* Member(const rapidjson::Value& object, const char* name)
{
    auto found = object.FindMember(name);
    return found == object.MemberEnd() ? nullptr : &found->value;
}

void ReadBool(const rapidjson::Value& object, const char* name, std::optional<bool>& field)
{
    if (const auto* member = Member(object, name); member && member->IsBool()) field = member->GetBool();
}

void ReadString(const rapidjson::Value& object, const char* name, std::optional<std::string>& field)
{
    if (const auto* member = Member(object, name); member && member->IsString())
        field = std::string(member->GetString(), member->GetStringLength());
}

std::optional<QcType> ParseQcType(const rapidjson::Value& value)
{
    if (!value.IsString()) return std::nullopt;
    const std::string_view text(value.GetString(), value.GetStringLength());
    if (text == "YENDO") return QcType::ElectronicSignature;
    if (text == "ESEAL") return QcType::ElectronicSeal;
    if (text == "WEB") return QcType::WebsiteAuthentication;
    return std::nullopt;
}

bool ReadKeyUsage(const rapidjson::Value& value, KeyUsageCriteria& usage)
{
    if (!value.IsObject()) return false;
    ReadBool(value, "digitalSignature", usage.digitalSignature);
    ReadBool(value, "nonRepudiation", usage.nonRepudiation);
    ReadBool(value, "keyEncipherment", usage.keyEncipherment);
    ReadBool(value, "dataEncipherment", usage.dataEncipherment);
    ReadBool(value, "keyAgreement", usage.keyAgreement);
    ReadBool(value, "keyCertSign", usage.keyCertSign);
    ReadBool(value, "cRLSign", usage.cRLSign);
    ReadBool(value, "encipherOnly", usage.encipherOnly);
    ReadBool(value, "decipherOnly", usage.decipherOnly);
    return true;
}

bool ReadIdentifiers(const rapidjson::Value& value, std::vector<AuthorityKeyIdentifier>& identifiers)
{
    if (!value.IsArray()) return false;
    for (const auto& element : value.GetArray()) {
        if (!element.IsObject()) return false;
        AuthorityKeyIdentifier identifier;
        ReadString(element, "keyIdentifier", identifier.keyIdentifier);
        ReadString(element, "authorityCertIssuer", identifier.authorityCertIssuer);
        ReadString(element, "authorityCertSerialNumber", identifier.authorityCertSerialNumber);
        identifiers.push_back(std::move(identifier));
    }
    return true;
}

bool ReadCriteria(const rapidjson::Value& element, CertificateCriteria& criteria)
{
    if (!element.IsObject()) return false;
    if (const auto* keyUsage = Member(element, "keyUsage")) {
        if (!ReadKeyUsage(*keyUsage, criteria.keyUsage.emplace())) return false;
    }
    ReadBool(element, "hasQCStatement", criteria.hasQCStatement);
    ReadBool(element, "hasQCCompliance", criteria.hasQCCompliance);
    ReadBool(element, "hasQCQSCD", criteria.hasQCQSCD);
    if (const auto* qcType = Member(element, "qcType")) criteria.qcType = ParseQcType(*qcType);
    ReadString(element, "fingerprint", criteria.fingerprint);
    ReadString(element, "serialNumber", criteria.serialNumber);
    if (const auto* identifiers = Member(element, "acceptedAuthorityKeyIdentifiers")) {
        if (!ReadIdentifiers(*identifiers, criteria.acceptedAuthorityKeyIdentifiers.emplace())) return false;
    }
    return true;
}

}  // namespace

bool ReadCertificateFilter(const rapidjson::Value& value, CertificateFilter& filter)
{
    if (!value.IsArray()) return false;
    for (const auto& element : value.GetArray()) {
        CertificateCriteria criteria;
        if (!ReadCriteria(element, criteria)) return false;
        filter.push_back(std::move(criteria));
    }
    return true;
}

}  // namespace nerolin
