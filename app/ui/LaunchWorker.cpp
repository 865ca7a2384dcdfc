#include "app/ui/LaunchWorker.h"

#include "app/run/LaunchRun.h"

namespace nerolin {
namespace {

class SignalReporter final : public LaunchReporter {
public:
    explicit SignalReporter(LaunchWorker& worker) : worker_(worker) {}
    void StepBegins() override { emit worker_.StepBegins(); }
    void StepEnded() override { emit worker_.StepEnded(); }

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
        emit Finished(RunLaunch(session_, reporter));
    });
}

}  // namespace nerolin
