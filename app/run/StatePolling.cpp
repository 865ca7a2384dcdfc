#include "app/run/StatePolling.h"

#include <string_view>

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "session/SigningSession.h"

namespace nerolin {

std::string StateText(const std::string& state)
{
    struct Entry {
        std::string_view state;
        int id;
    };
    static constexpr Entry kTexts[] = {
        {SessionState::WaitingForConfigGot, strings::kStateWaitingForConfigGot},
        {SessionState::WaitingForCertificate, strings::kStateWaitingForCertificate},
        {SessionState::WaitingForUnsignedHashes, strings::kStateWaitingForUnsignedHashes},
        {SessionState::WaitingForSignedHashes, strings::kStateWaitingForSignedHashes},
        {SessionState::Finished, strings::kStateFinished},
        {SessionState::Error, strings::kStateError},
    };
    for (const Entry& entry : kTexts) {
        if (entry.state == state) {
            return LoadString(entry.id);
        }
    }
    return {};
}

void PollStop::Abandon()
{
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    stopped_ = true;
    abandonedChanged_.notify_all();
}

void PollStop::Pause(std::chrono::milliseconds pause)
{
    std::unique_lock lock(mutex_);
    abandonedChanged_.wait_for(lock, pause, [this] { return abandoned_; });
}

void PollSessionState(SigningSession& session, StatePollReporter& reporter, PollStop& stop,
                      std::chrono::milliseconds interval)
{
    if (stop.Stopped()) {
        return;
    }
    for (;;) {
        const SessionError result = session.FetchState(stop.ExchangeAbort());
        if (stop.Stopped()) {
            return;  // Cancel came while the request ran
        }
        if (result != SessionError::Ok) {
            ShowSessionResult(result, session.serverMessage);
            reporter.ShowStatus(StateText(std::string(SessionState::Error)));
            stop.Pause(interval);
            return;
        }
        reporter.ShowStatus(StateText(session.state));
        if (session.state == SessionState::Finished) {
            stop.Pause(interval);
            return;
        }
        stop.Pause(interval);
        if (stop.Stopped()) {
            return;
        }
    }
}

}  // namespace nerolin
