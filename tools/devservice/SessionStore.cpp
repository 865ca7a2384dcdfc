#include "tools/devservice/SessionStore.h"

#include <algorithm>

namespace nerolin::devservice {

std::size_t RequestRecord::Add(RecordedRequest request)
{
    if (request.body.size() > kBodyLimit) request.body.resize(kBodyLimit);
    if (requests_.size() == kKept) requests_.pop_front();
    requests_.push_back(std::move(request));
    return added_++;
}

void RequestRecord::SetStatus(std::size_t number, int status)
{
    const std::size_t first = added_ - requests_.size();
    if (number >= first && number < added_) requests_[number - first].status = status;
}

void RequestRecord::AddViolation(std::string violation)
{
    if (violations_.size() < kViolationsKept &&
        std::find(violations_.begin(), violations_.end(), violation) == violations_.end())
        violations_.push_back(std::move(violation));
}

bool SessionStore::Add(DevSession session)
{
    std::lock_guard lock(mutex_);
    std::string id = session.sessionId;
    return sessions_.emplace(std::move(id), std::move(session)).second;
}

bool SessionStore::With(const std::string& sessionId, const std::function<void(DevSession&)>& action)
{
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(sessionId);
    if (it == sessions_.end()) return false;
    action(it->second);
    return true;
}

bool SessionStore::Wait(std::chrono::milliseconds duration)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return stopping_; });
}

bool SessionStore::Stall(const std::string& sessionId, std::chrono::milliseconds duration)
{
    std::unique_lock lock(mutex_);
    // A release that came before the request did (the client's request was
    // still on its way) is this stall's.
    if (unclaimedReleases_.erase(sessionId) != 0) return !stopping_;
    const int released = releases_[sessionId];
    ++waiting_[sessionId];
    changed_.wait_for(lock, duration, [&] { return stopping_ || releases_[sessionId] != released; });
    --waiting_[sessionId];
    return !stopping_;
}

bool SessionStore::ReleaseStalls(const std::string& sessionId)
{
    {
        std::lock_guard lock(mutex_);
        if (sessions_.count(sessionId) == 0) return false;
        if (waiting_[sessionId] == 0) unclaimedReleases_.insert(sessionId);
        ++releases_[sessionId];
    }
    changed_.notify_all();
    return true;
}

void SessionStore::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
}

}  // namespace nerolin::devservice
