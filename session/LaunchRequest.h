#pragma once

// The launch request a "yendo:" link carries: where the session lives,
// which session it is and what the user is to do. Read from the link at
// start-up, and written back into a link and a QR code for the mobile
// signing application.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "session/SessionResult.h"

namespace nerolin {

enum class SessionMode : int {
    SelectCertificateMode = 0,         // "SELECT_CERTIFICATE"
    SignMode = 1,                      // "SIGN"
    SelectCertificateAndSignMode = 2,  // "SELECT_CERTIFICATE_AND_SIGN", also when none is named
    TestMode = 3,                      // "TEST"
};

struct LaunchRequest {
    std::string sessionUrl;  // UTF-8
    std::string sessionId;   // UTF-8
    SessionMode mode = SessionMode::SelectCertificateAndSignMode;
};

inline constexpr char kLinkScheme[] = "yendo:";

// The JSON text of a mode as a launch request names it.
const char* SessionModeText(SessionMode mode);
// The mode a text names exactly (case counts); nullopt for any other text.
std::optional<SessionMode> SessionModeFromText(std::string_view text);

// Strict JSON (RFC 8259) object with non-empty string members "sessionUrl"
// and "sessionId" and an optional "mode" text; other members are ignored,
// and of a repeated key the first counts. Values are stored in request as
// they pass their step, and stay there when a later step fails; a request
// without "mode" keeps request.mode.
bool ParseLaunchRequest(const std::string& json, LaunchRequest& request);

// The JSON text a link carries: the parameter must begin with "yendo:"
// (exact case, at position 0); the rest is unescaped and turned into UTF-8.
// nullopt when the parameter is no link ("Invalid URI!").
std::optional<std::string> LaunchJsonFromLink(std::u16string parameter);

// How LaunchRequestJson writes the mode.
enum class LaunchModeForm {
    Link,  // as a link for another agent: a mode other than 0 and 1 is "SELECT_CERTIFICATE_AND_SIGN"
    AsIs,  // every mode by its own text, "TEST" included
};

// The compact JSON of a request: "sessionUrl", "sessionId", "mode" in this
// order.
std::string LaunchRequestJson(const LaunchRequest& request, LaunchModeForm form = LaunchModeForm::Link);
// "yendo:" + the escaped JSON, as UTF-8; nullopt when a value is not UTF-8.
// Every link written here reads back to the same JSON through
// LaunchJsonFromLink.
std::optional<std::string> LaunchLink(const LaunchRequest& request, LaunchModeForm form = LaunchModeForm::Link);

// 24-bit RGB pixels, rows top to bottom, 3 bytes per pixel.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// The link as a QR code (automatic segments, error correction HIGH, boosted
// where it fits): one pixel per module, black on white, no quiet zone.
// QRCodeError when the link cannot be written or is too long for a code.
SessionError MakeQRCode(const LaunchRequest& request, RgbImage& image);
// The same for any text.
SessionError MakeQRCode(const std::string& text, RgbImage& image);

}  // namespace nerolin
