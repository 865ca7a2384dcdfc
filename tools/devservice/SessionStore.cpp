#include "tools/devservice/SessionStore.h"

namespace nerolin::devservice {

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
