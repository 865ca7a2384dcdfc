#include "app/ui/LaunchWorker.h"

#include "app/run/LaunchRun.h"
#include "platform/qt/ThreadHandoff.h"

namespace nerolin {
namespace {

class SignalReporter final : public LaunchReporter {
public:
    explicit SignalReporter(LaunchWorker& worker) : worker_(worker) {}
    void StepBegins() override
    {
        HandOff();
        emit worker_.StepBegins();
    }
    void StepEnded() override
    {
        HandOff();
        emit worker_.StepEnded();
    }

private:
    LaunchWorker& worker_;
};

}  // namespace

LaunchWorker::LaunchWorker(SigningSession& session) : session_(session) {}

LaunchWorker::~LaunchWorker() { thread_.Join(); }

bool LaunchWorker::Start()
{
    return thread_.Start([this] {
        SignalReporter reporter(*this);
        const SessionOutcome outcome = RunLaunch(session_, reporter);
        HandOff();  // the session as configured goes to the window
        emit Finished(outcome);
    });
}

}  // namespace nerolin
