#include "app/ui/StatePoller.h"

#include "platform/qt/ThreadHandoff.h"

namespace nerolin {
namespace {

class SignalReporter final : public StatePollReporter {
public:
    explicit SignalReporter(StatePoller& poller) : poller_(poller) {}
    void ShowStatus(const std::string& text) override
    {
        HandOff();
        emit poller_.StatusChanged(QString::fromStdString(text));
    }

private:
    StatePoller& poller_;
};

}  // namespace

StatePoller::StatePoller(SigningSession& session, std::chrono::milliseconds interval)
    : session_(session),
      interval_(interval)
{
}

StatePoller::~StatePoller()
{
    stop_.Abandon();
    thread_.Join();
}

bool StatePoller::Start()
{
    return thread_.Start([this] {
        SignalReporter reporter(*this);
        PollSessionState(session_, reporter, stop_, interval_);
        HandOff();
        emit Finished();
    });
}

}  // namespace nerolin
