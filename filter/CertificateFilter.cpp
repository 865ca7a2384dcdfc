#include "filter/CertificateFilter.h"

#include <algorithm>
#include <iterator>
#include <span>
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

enum class Expected { Bool, String, QcType, KeyUsage, Identifiers };

struct KnownMember {
    std::string_view name;
    Expected expected;
};

constexpr KnownMember kCriteriaMembers[] = {
    {"keyUsage", Expected::KeyUsage},    {"hasQCStatement", Expected::Bool},
    {"hasQCCompliance", Expected::Bool}, {"hasQCQSCD", Expected::Bool},
    {"qcType", Expected::QcType},        {"fingerprint", Expected::String},
    {"serialNumber", Expected::String},  {"acceptedAuthorityKeyIdentifiers", Expected::Identifiers},
};
constexpr std::string_view kKeyUsageMembers[] = {"digitalSignature", "nonRepudiation", "keyEncipherment",
                                                 "dataEncipherment", "keyAgreement",   "keyCertSign",
                                                 "cRLSign",          "encipherOnly",   "decipherOnly"};
constexpr std::string_view kIdentifierMembers[] = {"keyIdentifier", "authorityCertIssuer", "authorityCertSerialNumber"};

std::string_view NameOf(const rapidjson::Value& name) { return {name.GetString(), name.GetStringLength()}; }

// Members of an object that must all be of one type (the key-usage bits,
// the identifier fields).
void ListUniform(const rapidjson::Value& object, const std::string& place, std::span<const std::string_view> names,
                 bool wantBool, std::vector<std::string>& ignored)
{
    for (const auto& member : object.GetObject()) {
        const std::string where = place + "." + std::string(NameOf(member.name));
        if (std::find(names.begin(), names.end(), NameOf(member.name)) == names.end()) {
            ignored.push_back(where + ": unknown member, ignored");
        } else if (wantBool ? !member.value.IsBool() : !member.value.IsString()) {
            ignored.push_back(where + (wantBool ? ": not true or false, ignored" : ": not a string, ignored"));
        }
    }
}

}  // namespace

std::vector<std::string> IgnoredFilterMembers(const rapidjson::Value& value)
{
    std::vector<std::string> ignored;
    if (!value.IsArray()) return ignored;
    std::size_t index = 0;
    for (const auto& element : value.GetArray()) {
        const std::string place = "[" + std::to_string(index++) + "]";
        if (!element.IsObject()) continue;
        for (const auto& member : element.GetObject()) {
            const std::string_view name = NameOf(member.name);
            const std::string where = place + "." + std::string(name);
            const auto known = std::find_if(std::begin(kCriteriaMembers), std::end(kCriteriaMembers),
                                            [&](const KnownMember& candidate) { return candidate.name == name; });
            if (known == std::end(kCriteriaMembers)) {
                ignored.push_back(where + ": unknown member, ignored");
                continue;
            }
            const rapidjson::Value& v = member.value;
            switch (known->expected) {
            case Expected::Bool:
                if (!v.IsBool()) ignored.push_back(where + ": not true or false, ignored");
                break;
            case Expected::String:
                if (!v.IsString()) ignored.push_back(where + ": not a string, ignored");
                break;
            case Expected::QcType:
                if (!ParseQcType(v)) ignored.push_back(where + ": not \"YENDO\", \"ESEAL\" or \"WEB\", ignored");
                break;
            case Expected::KeyUsage:
                if (v.IsObject()) ListUniform(v, where, kKeyUsageMembers, true, ignored);
                break;
            case Expected::Identifiers:
                if (!v.IsArray()) break;
                for (rapidjson::SizeType i = 0; i < v.Size(); ++i) {
                    if (v[i].IsObject())
                        ListUniform(v[i], where + "[" + std::to_string(i) + "]", kIdentifierMembers, false, ignored);
                }
                break;
            }
        }
    }
    return ignored;
}

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
