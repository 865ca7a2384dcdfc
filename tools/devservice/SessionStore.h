#pragma once

// The service's sessions: what each was created with, where it stands, what
// it received and concluded. One lock guards the whole store; handlers hold
// it only while they read or change a session, never while they wait.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/devservice/FaultScript.h"

namespace nerolin::devservice {

// State names the service reports.
inline constexpr const char* kWaitingForConfig = "WAITING_FOR_CONFIG_GOT";
inline constexpr const char* kWaitingForCertificate = "WAITING_FOR_CERTIFICATE";
inline constexpr const char* kWaitingForUnsignedHashes = "WAITING_FOR_UNSIGNED_HASHES";
inline constexpr const char* kWaitingForSignedHashes = "WAITING_FOR_SIGNED_HASHES";
inline constexpr const char* kFinished = "FINISHED";
inline constexpr const char* kError = "ERROR";

struct SessionDocument {
    std::string documentId;
    std::string name;
    std::string downloadUrl;
    std::string content;       // what the hash is made of
    std::string unsignedHash;  // Base64, empty until the hashes exist
    // Filled when signatures arrive.
    std::string signedHash;
    std::optional<bool> signatureValid;
    std::string signatureDetail;
};

struct RecordedRequest {
    std::string exchange;     // config, cancel, certificate, unsignedHashes, signedHashes, state
    std::string origin;       // "agent" (over HTTPS) or "mobile"
    std::string contentType;  // of the request, empty when absent
    std::string body;         // as received, cut at RequestRecord::kBodyLimit
    int status = 0;           // answered status; 0 when no answer was given
    std::string fault;        // the fault kind that shaped the answer, if any
};

// What a session received, kept within bounds: a client may post to a
// session, or poll it for its 202 answers, for as long as it likes, and
// every request it makes must not stay in memory. The last kKept requests
// are kept with their bodies cut; older ones are only counted. Violations
// are kept once each, at most kViolationsKept of them.
class RequestRecord {
public:
    static constexpr std::size_t kKept = 200;
    static constexpr std::size_t kBodyLimit = 16u << 10;
    static constexpr std::size_t kViolationsKept = 100;

    // Records the request (its body cut here); the number to give SetStatus.
    std::size_t Add(RecordedRequest request);
    // Sets the answered status of request number, unless it has been dropped.
    void SetStatus(std::size_t number, int status);
    void AddViolation(std::string violation);

    const std::deque<RecordedRequest>& Requests() const { return requests_; }
    std::size_t Dropped() const { return added_ - requests_.size(); }
    const std::vector<std::string>& Violations() const { return violations_; }

private:
    std::deque<RecordedRequest> requests_;
    std::size_t added_ = 0;
    std::vector<std::string> violations_;
};

struct DevSession {
    // As created.
    std::string sessionId;
    std::string mode;  // SELECT_CERTIFICATE, SIGN, SELECT_CERTIFICATE_AND_SIGN, TEST
    std::string version = "1";
    std::string spName;
    std::string message;
    std::string filtersJson;      // raw JSON value of "filters", empty for none
    std::string hashAlgorithm;    // OID text, may be empty
    std::string certificateName;  // PKI name of the configured (SIGN) certificate, if any
    std::string certificatePem;   // configured certificate (SIGN mode), CR LF PEM
    bool withStateUrl = true;
    int pendingPolls = 0;          // 202 answers still to give; negative: until released
    std::string finalCode = "OK";  // code of the result message on success
    std::vector<SessionDocument> documents;
    FaultScript faults;

    // As it went.
    std::string state = kWaitingForConfig;
    bool hashesReady = false;
    bool cancelled = false;
    std::string postedCertificate;  // the certificate message's text
    std::string lastResultCode;     // the last result message the service sent
    std::string lastResultMessage;
    std::string conclusion;  // a sentence on how the session ended
    RequestRecord record;    // requests received and the protocol breaches seen in them
};

class SessionStore {
public:
    // False when a session with that identifier exists already.
    bool Add(DevSession session);

    // Runs action on the session under the lock; false when it is unknown.
    bool With(const std::string& sessionId, const std::function<void(DevSession&)>& action);

    // Waits up to duration unless the store is stopping; false when stopping.
    bool Wait(std::chrono::milliseconds duration);
    // A scripted stall of a session's answer: waits up to duration, unless
    // the session's stalls are released or the store stops meanwhile; false
    // when stopping.
    bool Stall(const std::string& sessionId, std::chrono::milliseconds duration);
    // Ends the stalls of a session that are waiting now; with none waiting,
    // the session's next stall ends at once instead, so a release that
    // overtakes the request it was meant for still reaches it. False when
    // the session is unknown.
    bool ReleaseStalls(const std::string& sessionId);
    void Stop();

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, DevSession> sessions_;
    std::map<std::string, int> releases_;      // per session, how often its stalls were released
    std::map<std::string, int> waiting_;       // per session, stalls waiting now
    std::set<std::string> unclaimedReleases_;  // released with no stall waiting
};

}  // namespace nerolin::devservice
