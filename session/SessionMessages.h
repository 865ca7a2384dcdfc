#pragma once

// The JSON documents exchanged with the signing service: the writers of the
// agent's requests (compact, members in a fixed order) and the readers of
// the service's answers with their acceptance rules. A reader stores values
// into the session as it reads them; a later rejection does not undo them.

#include <string>
#include <string_view>
#include <vector>

namespace nerolin {

class SigningSession;

// One document of the session. Hashes and signatures are Base64 text.
struct DocumentInfo {
    std::string documentId;
    std::string name;
    std::string downloadUrl;   // may be empty
    std::string unsignedHash;  // empty until known
    std::string signedHash;    // empty until signed
};

// The service's last result message.
struct ServerMessage {
    std::string code;
    std::string message;
};

// The state names the service reports for a session.
namespace SessionState {
inline constexpr std::string_view WaitingForConfigGot = "WAITING_FOR_CONFIG_GOT";
inline constexpr std::string_view WaitingForCertificate = "WAITING_FOR_CERTIFICATE";
inline constexpr std::string_view WaitingForUnsignedHashes = "WAITING_FOR_UNSIGNED_HASHES";
inline constexpr std::string_view WaitingForSignedHashes = "WAITING_FOR_SIGNED_HASHES";
inline constexpr std::string_view Finished = "FINISHED";
inline constexpr std::string_view Error = "ERROR";
}  // namespace SessionState

// The only protocol version this agent speaks.
inline constexpr std::string_view kProtocolVersion = "1";
bool IsSupportedProtocolVersion(const std::string& version);

// Requests, e.g. {"sessionId":"abc","cancel":false}.
std::string WritePollMessage(const std::string& sessionId, bool cancel);
std::string WriteCertificateMessage(const std::string& sessionId, const std::string& certificate);
std::string WriteSignedHashesMessage(const std::string& sessionId, const std::vector<DocumentInfo>& documents);

// Answers. Each returns false when the document breaks its rules; the
// caller then reports the body and ends with BadResponse. why, when given and
// empty, receives the first rule broken ("member \"SPName\" is missing").
// The session configuration (version, provider, message, documents, filter,
// URLs), read by the session's mode.
bool ReadSessionConfig(std::string_view body, SigningSession& session, std::string* why = nullptr);
// {"unsignedHashUrl": ...}, the answer to the certificate outside SelectCertificateMode.
bool ReadUnsignedHashUrl(std::string_view body, SigningSession& session, std::string* why = nullptr);
// The unsigned hashes, the hash algorithm and the signed-hash URL.
bool ReadUnsignedHashes(std::string_view body, SigningSession& session, std::string* why = nullptr);
// "code" and optional "message" into serverMessage.
bool ReadResultMessage(std::string_view body, SigningSession& session, std::string* why = nullptr);
// "code" into state.
bool ReadStateMessage(std::string_view body, SigningSession& session, std::string* why = nullptr);

}  // namespace nerolin
