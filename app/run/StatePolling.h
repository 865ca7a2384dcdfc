#pragma once

// Mobile signing's polling: while the mobile application runs the session,
// the session's state is asked of the service every two seconds and shown
// as a line of text, until the session is finished, the state cannot be
// fetched, or the user stops it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

namespace nerolin {

class SigningSession;

// The text shown for a state of the session; empty for a state not listed.
// The comparison is exact.
std::string StateText(const std::string& state);

class StatePollReporter {
public:
    virtual ~StatePollReporter() = default;
    virtual void ShowStatus(const std::string& text) = 0;
};

// The two ways a polling run is told to end early. Stop (Cancel) ends a
// state request in flight within about a second, or else is seen at the next
// look after the running pause; Abandon (the dialog goes away) also cuts the
// pause short. Both may come from any thread.
class PollStop {
public:
    void Stop() { stopped_ = true; }
    void Abandon();
    bool Stopped() const { return stopped_; }
    // Waits for the pause unless abandoned meanwhile.
    void Pause(std::chrono::milliseconds pause);
    // What a state request in flight watches: set by Stop and by Abandon.
    const std::atomic<bool>* ExchangeAbort() const { return &stopped_; }

private:
    std::atomic<bool> stopped_{false};
    mutable std::mutex mutex_;
    std::condition_variable abandonedChanged_;
    bool abandoned_ = false;
};

// Polls until the session is finished (its text stays for one more pause),
// a fetch fails (its message, then "Error!" for one pause), or stop says so.
// A request that stop ended shows nothing: the user abandoned it.
void PollSessionState(SigningSession& session, StatePollReporter& reporter, PollStop& stop,
                      std::chrono::milliseconds interval);

}  // namespace nerolin
