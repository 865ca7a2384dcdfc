#include "session/SessionMessages.h"

#include <cstring>
#include <stdexcept>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/JsonDocument.h"
#include "common/Text.h"
#include "filter/CertificateFilter.h"
#include "session/QuotedText.h"
#include "session/SigningSession.h"

namespace nerolin {

namespace {

using rapidjson::Document;
using rapidjson::Value;
using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

void WriteString(JsonWriter& writer, const std::string& text)
{
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

std::string Finish(const rapidjson::StringBuffer& buffer) { return std::string(buffer.GetString(), buffer.GetSize()); }

std::string_view View(const Value& value) { return std::string_view(value.GetString(), value.GetStringLength()); }

bool IsValidUtf8(std::string_view text)
{
    try {
        Utf8ToWide(text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

const Value* Member(const Value& object, const char* name)
{
    const auto it = object.FindMember(name);  // the first of a repeated key
    return it == object.MemberEnd() ? nullptr : &it->value;
}

// Why an answer was refused, in words a service developer can act on: the
// first failing member with its place in the document.
class Refusal {
public:
    explicit Refusal(std::string* why) : why_(why) {}

    bool Fail(const std::string& text)
    {
        if (why_ != nullptr && why_->empty()) {
            *why_ = where_ + text;
        }
        return false;
    }
    bool Member(const char* name, const char* problem)
    {
        return Fail(std::string("member \"") + name + "\" " + problem);
    }
    void Within(std::string place) { where_ = std::move(place); }

private:
    std::string* why_;
    std::string where_;
};

bool Untyped(const Value* value, const char* name, Refusal& refusal)
{
    if (value == nullptr) {
        return refusal.Member(name, "is missing");
    }
    return value->IsString() || refusal.Member(name, "is not a string");
}

// The member rules of the answers. Each stores the value into out as soon as
// it is accepted; a text that is not valid UTF-8 rejects the answer.
bool TextMayBeEmpty(const Value& object, const char* name, std::string& out, Refusal& refusal)
{
    const Value* value = Member(object, name);
    if (!Untyped(value, name, refusal)) {
        return false;
    }
    if (!IsValidUtf8(View(*value))) {
        return refusal.Member(name, "is not valid UTF-8");
    }
    out.assign(View(*value));
    return true;
}

bool RequiredText(const Value& object, const char* name, std::string& out, Refusal& refusal)
{
    const Value* value = Member(object, name);
    if (!Untyped(value, name, refusal)) {
        return false;
    }
    if (value->GetStringLength() == 0) {
        return refusal.Member(name, "is empty");
    }
    return TextMayBeEmpty(object, name, out, refusal);
}

bool OptionalText(const Value& object, const char* name, std::string& out, Refusal& refusal)
{
    const Value* value = Member(object, name);
    if (value == nullptr || !value->IsString()) {
        return true;
    }
    return TextMayBeEmpty(object, name, out, refusal);
}

bool IsTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A required text without white space at either end. In valid UTF-8 these
// six characters are single bytes, so looking at the end bytes is the same
// test as looking at the ends of the UTF-16 text.
bool TrimmedText(const Value& object, const char* name, std::string& out, Refusal& refusal)
{
    std::string text;
    if (!RequiredText(object, name, text, refusal)) {
        return false;
    }
    if (IsTrimSpace(text.front()) || IsTrimSpace(text.back())) {
        return refusal.Member(name, "begins or ends with white space");
    }
    out = std::move(text);
    return true;
}

// The acceptance rule shared by every answer: one strict JSON object that
// echoes the session's identifier byte for byte.
bool ParseAnswer(std::string_view body, const std::string& sessionId, Document& document, Refusal& refusal)
{
    if (!ParseJsonDocument(body, document)) {
        return refusal.Fail("the body is not one JSON document");
    }
    if (!document.IsObject()) {
        return refusal.Fail("the body is not a JSON object");
    }
    const Value* id = Member(document, "sessionId");
    if (!Untyped(id, "sessionId", refusal)) {
        return false;
    }
    if (View(*id) != sessionId) {
        return refusal.Fail("member \"sessionId\" is \"" + QuotedText(View(*id)) + "\", not the session's \"" +
                            sessionId + "\"");
    }
    return true;
}

bool ReadDocuments(const Value& root, SigningSession& session, Refusal& refusal)
{
    const Value* documents = Member(root, "documents");
    if (documents == nullptr) {
        return refusal.Member("documents", "is missing");
    }
    if (!documents->IsArray() || documents->Empty()) {
        return refusal.Member("documents", "is not an array of at least one document");
    }
    std::size_t index = 0;
    for (const Value& element : documents->GetArray()) {
        refusal.Within("documents[" + std::to_string(index++) + "]: ");
        if (!element.IsObject()) {
            return refusal.Fail("is not an object");
        }
        DocumentInfo info;
        if (!RequiredText(element, "documentId", info.documentId, refusal)) {
            return false;
        }
        if (session.mode == SessionMode::SignMode &&
            !RequiredText(element, "unsignedHash", info.unsignedHash, refusal)) {
            return false;
        }
        if (!TrimmedText(element, "name", info.name, refusal) ||
            !OptionalText(element, "downloadUrl", info.downloadUrl, refusal)) {
            return false;
        }
        session.documents.push_back(std::move(info));
    }
    refusal.Within("");
    return true;
}

}  // namespace

bool IsSupportedProtocolVersion(const std::string& version) { return version == kProtocolVersion; }

std::string WritePollMessage(const std::string& sessionId, bool cancel)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("sessionId");
    WriteString(writer, sessionId);
    writer.Key("cancel");
    writer.Bool(cancel);
    writer.EndObject();
    return Finish(buffer);
}

std::string WriteCertificateMessage(const std::string& sessionId, const std::string& certificate)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("sessionId");
    WriteString(writer, sessionId);
    writer.Key("certificate");
    WriteString(writer, certificate);
    writer.EndObject();
    return Finish(buffer);
}

std::string WriteSignedHashesMessage(const std::string& sessionId, const std::vector<DocumentInfo>& documents)
{
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("sessionId");
    WriteString(writer, sessionId);
    writer.Key("signedHashes");
    writer.StartArray();
    for (const DocumentInfo& document : documents) {
        writer.StartObject();
        writer.Key("documentId");
        WriteString(writer, document.documentId);
        writer.Key("signedHash");
        WriteString(writer, document.signedHash);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return Finish(buffer);
}

bool ReadSessionConfig(std::string_view body, SigningSession& session, std::string* why)
{
    Refusal refusal(why);
    Document root;
    if (!ParseAnswer(body, session.sessionId, root, refusal) ||
        !RequiredText(root, "version", session.version, refusal)) {
        return false;
    }
    if (session.mode == SessionMode::TestMode) {
        return true;
    }
    if (!TrimmedText(root, "SPName", session.spName, refusal) ||
        !TrimmedText(root, "message", session.message, refusal)) {
        return false;
    }
    if (session.mode != SessionMode::SelectCertificateMode && !ReadDocuments(root, session, refusal)) {
        return false;
    }
    if (session.mode == SessionMode::SignMode) {
        if (!TextMayBeEmpty(root, "hashAlgorithm", session.hashAlgorithm, refusal) ||
            !RequiredText(root, "certificate", session.certificate, refusal) ||
            !RequiredText(root, "signedHashUrl", session.signedHashUrl, refusal)) {
            return false;
        }
    }
    if (session.mode == SessionMode::SelectCertificateMode ||
        session.mode == SessionMode::SelectCertificateAndSignMode) {
        if (const Value* filters = Member(root, "filters")) {
            session.filter.clear();
            if (!ReadCertificateFilter(*filters, session.filter)) {
                return refusal.Member("filters",
                                      "is not an array of objects whose \"keyUsage\" is an object and "
                                      "whose \"acceptedAuthorityKeyIdentifiers\" is an array of objects");
            }
        }
        if (!RequiredText(root, "certificateUrl", session.certificateUrl, refusal)) {
            return false;
        }
    }
    return OptionalText(root, "stateUrl", session.stateUrl, refusal);
}

bool ReadUnsignedHashUrl(std::string_view body, SigningSession& session, std::string* why)
{
    Refusal refusal(why);
    Document root;
    return ParseAnswer(body, session.sessionId, root, refusal) &&
           RequiredText(root, "unsignedHashUrl", session.unsignedHashUrl, refusal);
}

bool ReadUnsignedHashes(std::string_view body, SigningSession& session, std::string* why)
{
    Refusal refusal(why);
    Document root;
    if (!ParseAnswer(body, session.sessionId, root, refusal) ||
        !TextMayBeEmpty(root, "hashAlgorithm", session.hashAlgorithm, refusal)) {
        return false;
    }
    const Value* hashes = Member(root, "unsignedHashes");
    if (hashes == nullptr) {
        return refusal.Member("unsignedHashes", "is missing");
    }
    if (!hashes->IsArray()) {
        return refusal.Member("unsignedHashes", "is not an array");
    }
    std::size_t index = 0;
    for (const Value& element : hashes->GetArray()) {
        refusal.Within("unsignedHashes[" + std::to_string(index++) + "]: ");
        std::string documentId;
        std::string hash;
        if (!element.IsObject()) {
            return refusal.Fail("is not an object");
        }
        if (!RequiredText(element, "documentId", documentId, refusal) ||
            !RequiredText(element, "unsignedHash", hash, refusal)) {
            return false;
        }
        // Every document with that identifier; an unknown one changes nothing.
        for (DocumentInfo& document : session.documents) {
            if (document.documentId == documentId) {
                document.unsignedHash = hash;
            }
        }
    }
    refusal.Within("");
    return RequiredText(root, "signedHashUrl", session.signedHashUrl, refusal);
}

bool ReadResultMessage(std::string_view body, SigningSession& session, std::string* why)
{
    Refusal refusal(why);
    Document root;
    return ParseAnswer(body, session.sessionId, root, refusal) &&
           RequiredText(root, "code", session.serverMessage.code, refusal) &&
           OptionalText(root, "message", session.serverMessage.message, refusal);
}

bool ReadStateMessage(std::string_view body, SigningSession& session, std::string* why)
{
    Refusal refusal(why);
    Document root;
    return ParseAnswer(body, session.sessionId, root, refusal) && RequiredText(root, "code", session.state, refusal);
}

}  // namespace nerolin
