#include "app/ui/SigningWorker.h"

#include "app/run/SigningReporter.h"
#include "app/run/SigningRun.h"
#include "platform/qt/ThreadHandoff.h"
#include "providers/SigningProvider.h"

namespace nerolin {
namespace {

class SignalReporter final : public SigningReporter {
public:
    explicit SignalReporter(SigningWorker& worker) : worker_(worker) {}
    void Finished(const SessionOutcome& outcome) override { Report(&SigningWorker::Finished, outcome); }
    void StartMarquee() override { Report(&SigningWorker::StartMarquee); }
    void StopMarquee() override { Report(&SigningWorker::StopMarquee); }
    void SetProgressFull() override { Report(&SigningWorker::SetProgressFull); }
    void SetProgressRange(int count) override { Report(&SigningWorker::SetProgressRange, count); }
    void SetProgressStep(int index) override { Report(&SigningWorker::SetProgressStep, index); }

private:
    template <typename... Parameters, typename... Arguments>
    void Report(void (SigningWorker::*signal)(Parameters...), const Arguments&... arguments)
    {
        HandOff();
        emit(worker_.*signal)(arguments...);
    }

    SigningWorker& worker_;
};

}  // namespace

SigningWorker::SigningWorker(SigningSession& session, std::unique_ptr<SigningProvider> provider,
                             std::chrono::milliseconds pause)
    : session_(session),
      provider_(std::move(provider)),
      pause_(pause)
{
}

SigningWorker::~SigningWorker() { thread_.Join(); }

bool SigningWorker::Start()
{
    return thread_.Start([this] {
        SignalReporter reporter(*this);
        RunSigning(session_, *provider_, reporter, pause_);
        // After Finished: the provider's handles go on the thread that used them.
        provider_.reset();
    });
}

}  // namespace nerolin
