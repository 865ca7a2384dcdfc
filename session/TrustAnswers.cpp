#include "session/TrustAnswers.h"

#include <map>
#include <mutex>
#include <utility>

namespace nerolin {
namespace {

// Exchanges run on several threads at once (the worker, the mobile dialog's
// poller, the cancel message).
std::mutex answersMutex;
std::map<std::pair<std::string, Bytes>, bool> answers;

}  // namespace

TrustAnswer RememberedTrustAnswer(const std::string& host, const Bytes& certificate)
{
    std::lock_guard lock(answersMutex);
    const auto found = answers.find({host, certificate});
    if (found == answers.end()) {
        return TrustAnswer::NotAsked;
    }
    return found->second ? TrustAnswer::Accepted : TrustAnswer::Refused;
}

void RememberTrustAnswer(const std::string& host, const Bytes& certificate, bool accepted)
{
    std::lock_guard lock(answersMutex);
    answers[{host, certificate}] = accepted;
}

std::vector<Bytes> AcceptedCertificates(const std::string& host)
{
    std::lock_guard lock(answersMutex);
    std::vector<Bytes> accepted;
    for (const auto& [key, answer] : answers) {
        if (answer && key.first == host) {
            accepted.push_back(key.second);
        }
    }
    return accepted;
}

bool RefusedHost(const std::string& host)
{
    std::lock_guard lock(answersMutex);
    for (const auto& [key, answer] : answers) {
        if (!answer && key.first == host) {
            return true;
        }
    }
    return false;
}

void ForgetTrustAnswers()
{
    std::lock_guard lock(answersMutex);
    answers.clear();
}

}  // namespace nerolin
