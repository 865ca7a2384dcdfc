#include "session/SessionMessages.h"

#include <cstring>
#include <stdexcept>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/JsonDocument.h"
#include "common/Text.h"
#include "filter/CertificateFilter.h"
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

// The member rules of the answers. Each stores the value into out as soon as
// it is accepted; a text that is not valid UTF-8 rejects the answer.
bool TextMayBeEmpty(const Value& object, const char* name, std::string& out)
{
    const Value* value = Member(object, name);
    if (value == nullptr || !value->IsString() || !IsValidUtf8(View(*value))) {
        return false;
    }
    out.assign(View(*value));
    return true;
}

bool RequiredText(const Value& object, const char* name, std::string& out)
{
    const Value* value = Member(object, name);
    if (value == nullptr || !value->IsString() || value->GetStringLength() == 0) {
        return false;
    }
    return TextMayBeEmpty(object, name, out);
}

bool OptionalText(const Value& object, const char* name, std::string& out)
{
    const Value* value = Member(object, name);
    if (value == nullptr || !value->IsString()) {
        return true;
    }
    return TextMayBeEmpty(object, name, out);
}

bool IsTrimSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A required text without white space at either end. In valid UTF-8 these
// six characters are single bytes, so looking at the end bytes is the same
// test as looking at the ends of the UTF-16 text.
bool TrimmedText(const Value& object, const char* name, std::string& out)
{
    const Value* value = Member(object, name);
    if (value == nullptr || !value->IsString() || value->GetStringLength() == 0) {
        return false;
    }
    const std::string_view text = View(*value);
    if (!IsValidUtf8(text) || IsTrimSpace(text.front()) || IsTrimSpace(text.back())) {
        return false;
    }
    out.assign(text);
    return true;
}

// The acceptance rule shared by every answer: one strict JSON object that
// echoes the session's identifier byte for byte.
bool ParseAnswer(std::string_view body, const std::string& sessionId, Document& document)
{
    if (!ParseJsonDocument(body, document) || !document.IsObject()) {
        return false;
    }
    const Value* id = Member(document, "sessionId");
    return id != nullptr && id->IsString() && View(*id) == sessionId;
}

bool ReadDocuments(const Value& root, SigningSession& session)
{
    const Value* documents = Member(root, "documents");
    if (documents == nullptr || !documents->IsArray() || documents->Empty()) {
        return false;
    }
    for (const Value& element : documents->GetArray()) {
        if (!element.IsObject()) {
            return false;
        }
        DocumentInfo info;
        if (!RequiredText(element, "documentId", info.documentId)) {
            return false;
        }
        if (session.mode == SessionMode::SignMode && !RequiredText(element, "unsignedHash", info.unsignedHash)) {
            return false;
        }
        if (!TrimmedText(element, "name", info.name) || !OptionalText(element, "downloadUrl", info.downloadUrl)) {
            return false;
        }
        session.documents.push_back(std::move(info));
    }
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

bool ReadSessionConfig(std::string_view body, SigningSession& session)
{
    Document root;
    if (!ParseAnswer(body, session.sessionId, root) || !RequiredText(root, "version", session.version)) {
        return false;
    }
    if (session.mode == SessionMode::TestMode) {
        return true;
    }
    if (!TrimmedText(root, "SPName", session.spName) || !TrimmedText(root, "message", session.message)) {
        return false;
    }
    if (session.mode != SessionMode::SelectCertificateMode && !ReadDocuments(root, session)) {
        return false;
    }
    if (session.mode == SessionMode::SignMode) {
        if (!TextMayBeEmpty(root, "hashAlgorithm", session.hashAlgorithm) ||
            !RequiredText(root, "certificate", session.certificate) ||
            !RequiredText(root, "signedHashUrl", session.signedHashUrl)) {
            return false;
        }
    }
    if (session.mode == SessionMode::SelectCertificateMode ||
        session.mode == SessionMode::SelectCertificateAndSignMode) {
        if (const Value* filters = Member(root, "filters")) {
            session.filter.clear();
            if (!ReadCertificateFilter(*filters, session.filter)) {
                return false;
            }
        }
        if (!RequiredText(root, "certificateUrl", session.certificateUrl)) {
            return false;
        }
    }
    return OptionalText(root, "stateUrl", session.stateUrl);
}

bool ReadUnsignedHashUrl(std::string_view body, SigningSession& session)
{
    Document root;
    return ParseAnswer(body, session.sessionId, root) && RequiredText(root, "unsignedHashUrl", session.unsignedHashUrl);
}

bool ReadUnsignedHashes(std::string_view body, SigningSession& session)
{
    Document root;
    if (!ParseAnswer(body, session.sessionId, root) || !TextMayBeEmpty(root, "hashAlgorithm", session.hashAlgorithm)) {
        return false;
    }
    const Value* hashes = Member(root, "unsignedHashes");
    if (hashes == nullptr || !hashes->IsArray()) {
        return false;
    }
    for (const Value& element : hashes->GetArray()) {
        std::string documentId;
        std::string hash;
        if (!element.IsObject() || !RequiredText(element, "documentId", documentId) ||
            !RequiredText(element, "unsignedHash", hash)) {
            return false;
        }
        // Every document with that identifier; an unknown one changes nothing.
        for (DocumentInfo& document : session.documents) {
            if (document.documentId == documentId) {
                document.unsignedHash = hash;
            }
        }
    }
    return RequiredText(root, "signedHashUrl", session.signedHashUrl);
}

bool ReadResultMessage(std::string_view body, SigningSession& session)
{
    Document root;
    return ParseAnswer(body, session.sessionId, root) && RequiredText(root, "code", session.serverMessage.code) &&
           OptionalText(root, "message", session.serverMessage.message);
}

bool ReadStateMessage(std::string_view body, SigningSession& session)
{
    Document root;
    return ParseAnswer(body, session.sessionId, root) && RequiredText(root, "code", session.state);
}

}  // namespace nerolin
