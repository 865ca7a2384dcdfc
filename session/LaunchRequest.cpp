#include "session/LaunchRequest.h"

#include <stdexcept>

#include <qrcodegen.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/JsonDocument.h"
#include "common/Text.h"
#include "session/UrlEscape.h"

namespace nerolin {
namespace {

constexpr std::size_t kSchemeLength = sizeof kLinkScheme - 1;

// A present, non-empty string member, read as its first occurrence.
// A text that holds a zero byte (a "\u0000" of the JSON) is refused like an
// empty one: the URL or identifier would end there for half of its readers.
std::optional<std::string> NonEmptyString(const rapidjson::Value& object, const char* name)
{
    auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString() || member->value.GetStringLength() == 0)
        return std::nullopt;
    std::string text(member->value.GetString(), member->value.GetStringLength());
    if (text.find('\0') != std::string::npos) return std::nullopt;
    return text;
}

}  // namespace

const char* SessionModeText(SessionMode mode)
{
    switch (mode) {
    case SessionMode::SelectCertificateMode: return "SELECT_CERTIFICATE";
    case SessionMode::SignMode: return "SIGN";
    case SessionMode::SelectCertificateAndSignMode: return "SELECT_CERTIFICATE_AND_SIGN";
    case SessionMode::TestMode: return "TEST";
    }
    return "SELECT_CERTIFICATE_AND_SIGN";
}

std::optional<SessionMode> SessionModeFromText(std::string_view text)
{
    for (SessionMode mode : {SessionMode::SelectCertificateMode, SessionMode::SignMode,
                             SessionMode::SelectCertificateAndSignMode, SessionMode::TestMode}) {
        if (text == SessionModeText(mode)) return mode;
    }
    return std::nullopt;
}

bool ParseLaunchRequest(const std::string& json, LaunchRequest& request)
{
    // A zero byte (a link's "%00") or a nesting too deep for RapidJSON is a
    // bad request like any other text that is no JSON object.
    rapidjson::Document document;
    if (!ParseJsonDocument(json, document) || !document.IsObject()) return false;

    auto sessionUrl = NonEmptyString(document, "sessionUrl");
    if (!sessionUrl) return false;
    request.sessionUrl = *sessionUrl;
    auto sessionId = NonEmptyString(document, "sessionId");
    if (!sessionId) return false;
    request.sessionId = *sessionId;

    auto mode = document.FindMember("mode");
    if (mode == document.MemberEnd()) return true;
    if (!mode->value.IsString()) return false;
    auto known = SessionModeFromText(std::string_view(mode->value.GetString(), mode->value.GetStringLength()));
    if (!known) return false;
    request.mode = *known;
    return true;
}

std::optional<std::string> LaunchJsonFromLink(std::u16string parameter)
{
    if (parameter.compare(0, kSchemeLength, u"yendo:") != 0) return std::nullopt;
    parameter.erase(0, kSchemeLength);
    UrlUnescapeInPlace(parameter);
    try {
        return WideToUtf8(parameter);
    } catch (const std::exception&) {
        return std::nullopt;  // a lone surrogate of the parameter itself
    }
}

std::string LaunchRequestJson(const LaunchRequest& request, LaunchModeForm form)
{
    const bool ownText = form == LaunchModeForm::AsIs || request.mode == SessionMode::SelectCertificateMode ||
                         request.mode == SessionMode::SignMode;
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.StartObject();
    writer.Key("sessionUrl");
    writer.String(request.sessionUrl.data(), static_cast<rapidjson::SizeType>(request.sessionUrl.size()));
    writer.Key("sessionId");
    writer.String(request.sessionId.data(), static_cast<rapidjson::SizeType>(request.sessionId.size()));
    writer.Key("mode");
    writer.String(ownText ? SessionModeText(request.mode) : SessionModeText(SessionMode::SelectCertificateAndSignMode));
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::optional<std::string> LaunchLink(const LaunchRequest& request, LaunchModeForm form)
{
    try {
        // "%" is escaped too: the reader unescapes every %XX of the whole
        // text, so a "%41" of a session URL would otherwise come back as "A".
        std::u16string escaped = UrlEscape(Utf8ToWide(LaunchRequestJson(request, form)), kUrlEscapePercent);
        return kLinkScheme + WideToUtf8(escaped);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

SessionError MakeQRCode(const LaunchRequest& request, RgbImage& image)
{
    auto link = LaunchLink(request);
    if (!link) return SessionError::QRCodeError;
    return MakeQRCode(*link, image);
}

SessionError MakeQRCode(const std::string& text, RgbImage& image)
{
    if (text.find('\0') != std::string::npos) return SessionError::QRCodeError;
    try {
        auto segments = qrcodegen::QrSegment::makeSegments(text.c_str());
        auto code = qrcodegen::QrCode::encodeSegments(segments, qrcodegen::QrCode::Ecc::HIGH, 1, 40, -1, true);
        const int size = code.getSize();
        RgbImage drawn;
        drawn.width = size;
        drawn.height = size;
        drawn.pixels.assign(static_cast<std::size_t>(size) * size * 3, 255);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (code.getModule(x, y)) {
                    std::size_t at = (static_cast<std::size_t>(y) * size + x) * 3;
                    drawn.pixels[at] = drawn.pixels[at + 1] = drawn.pixels[at + 2] = 0;
                }
            }
        }
        image = std::move(drawn);
        return SessionError::Ok;
    } catch (const std::exception&) {
        return SessionError::QRCodeError;  // too long for any version at level HIGH
    }
}

}  // namespace nerolin
