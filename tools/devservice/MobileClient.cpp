#include "tools/devservice/MobileClient.h"

#include <chrono>
#include <vector>

#include "tools/devservice/HashSigner.h"
#include "tools/devservice/Json.h"

namespace nerolin::devservice {
namespace {

constexpr int kMaxHashPolls = 500;
constexpr std::chrono::milliseconds kHashPollPause{20};

struct Step {
    std::string exchange;
    int status;
};

std::string Poll(const std::string& sessionId, bool cancel)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, sessionId);
    w.Key("cancel");
    w.Bool(cancel);
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string Report(bool ok, const std::vector<Step>& steps, const std::string& error)
{
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("ok");
    w.Bool(ok);
    w.Key("steps");
    w.StartArray();
    for (const auto& step : steps) {
        w.StartObject();
        w.Key("exchange");
        WriteString(w, step.exchange);
        w.Key("status");
        w.Int(step.status);
        w.EndObject();
    }
    w.EndArray();
    w.Key("error");
    WriteString(w, error);
    w.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

struct HashEntry {
    std::string documentId;
    std::string unsignedHash;
};

std::vector<HashEntry> Hashes(const rapidjson::Value& list)
{
    std::vector<HashEntry> hashes;
    if (!list.IsArray()) return hashes;
    for (const auto& element : list.GetArray())
        hashes.push_back(
            {StringMember(element, "documentId").value_or(""), StringMember(element, "unsignedHash").value_or("")});
    return hashes;
}

}  // namespace

std::string RunMobileApplication(ServiceProtocol& protocol, const DevPki& pki, const std::string& sessionId,
                                 const MobileOptions& options)
{
    std::vector<Step> steps;
    auto post = [&](const std::string& endpoint, const std::string& exchange, const std::string& body,
                    rapidjson::Document& answer) {
        Answer result = protocol.Handle(sessionId, endpoint, body, "", "mobile");
        steps.push_back({exchange, result.status});
        ParseJson(result.body, answer);
        return result.status;
    };

    std::string mode, certificateName;
    if (!protocol.Store().With(sessionId, [&](DevSession& session) {
            mode = session.mode;
            certificateName = session.certificateName;
        }))
        return Report(false, steps, "unknown session");

    rapidjson::Document config;
    if (post("", "config", Poll(sessionId, false), config) != 200) return Report(false, steps, "no configuration");
    if (options.until == "config" || mode == "TEST") return Report(true, steps, "");

    std::string algorithm;
    std::vector<HashEntry> hashes;
    std::string signer = options.certificate;
    if (mode == "SIGN") {
        if (certificateName.empty()) return Report(false, steps, "the session's certificate has no key in the PKI");
        signer = certificateName;
        algorithm = StringMember(config, "hashAlgorithm").value_or("");
        if (const rapidjson::Value* documents = FindMember(config, "documents")) hashes = Hashes(*documents);
    } else {
        X509Ptr certificate = pki.SigningCertificate(signer);
        if (!certificate) return Report(false, steps, "unknown certificate " + signer);
        rapidjson::StringBuffer buffer;
        JsonWriter w(buffer);
        w.StartObject();
        w.Key("sessionId");
        WriteString(w, sessionId);
        w.Key("certificate");
        WriteString(w, CertificateText(certificate.get()));
        w.EndObject();
        rapidjson::Document answer;
        if (post("certificate", "certificate", std::string(buffer.GetString(), buffer.GetSize()), answer) != 200)
            return Report(false, steps, "certificate refused");
        if (mode == "SELECT_CERTIFICATE" || options.until == "certificate") return Report(true, steps, "");

        int status = 0;
        rapidjson::Document unsigned_;
        for (int i = 0; i < kMaxHashPolls; ++i) {
            unsigned_ = rapidjson::Document();
            status = post("unsigned-hashes", "unsignedHashes", Poll(sessionId, false), unsigned_);
            if (status != 202) break;
            if (!protocol.Store().Wait(kHashPollPause)) return Report(false, steps, "stopping");
        }
        if (status != 200) return Report(false, steps, "the hashes did not come");
        algorithm = StringMember(unsigned_, "hashAlgorithm").value_or("");
        if (const rapidjson::Value* list = FindMember(unsigned_, "unsignedHashes")) hashes = Hashes(*list);
    }

    EvpPkeyPtr key = pki.SigningKey(signer);
    if (!key) return Report(false, steps, "no key for " + signer);
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    w.Key("sessionId");
    WriteString(w, sessionId);
    w.Key("signedHashes");
    w.StartArray();
    bool first = true;
    for (const auto& entry : hashes) {
        auto signature = SignHashBytes(key.get(), algorithm, FromBase64(entry.unsignedHash).value_or(Bytes{}));
        if (!signature) return Report(false, steps, "cannot sign the hash of " + entry.documentId);
        if (options.tamper && first) signature->back() ^= 0x01;
        first = false;
        w.StartObject();
        w.Key("documentId");
        WriteString(w, entry.documentId);
        w.Key("signedHash");
        WriteString(w, Base64(*signature));
        w.EndObject();
    }
    w.EndArray();
    w.EndObject();
    rapidjson::Document result;
    int status = post("signed-hashes", "signedHashes", std::string(buffer.GetString(), buffer.GetSize()), result);
    return Report(status == 200, steps, status == 200 ? "" : StringMember(result, "message").value_or(""));
}

}  // namespace nerolin::devservice
