#include "app/ui/SigningWorker.h"

#include "app/run/SigningReporter.h"
#include "app/run/SigningRun.h"
#include "providers/SigningProvider.h"

namespace nerolin {
namespace {

class SignalReporter final : public SigningReporter {
public:
    explicit SignalReporter(SigningWorker& worker) : worker_(worker) {}
    void Finished(const SessionOutcome& outcome) override { emit worker_.Finished(outcome); }
    void StartMarquee() override { emit worker_.StartMarquee(); }
    void StopMarquee() override { emit worker_.StopMarquee(); }
    void SetProgressFull() override { emit worker_.SetProgressFull(); }
    void SetProgressRange(int count) override { emit worker_.SetProgressRange(count); }
    void SetProgressStep(int index) override { emit worker_.SetProgressStep(index); }

private:
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
