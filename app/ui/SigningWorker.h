#pragma once

// The signing worker: one signing run on a thread of its own, with a
// QObject face. Each report of the run (SigningReporter) becomes the signal
// of the same name, queued to the thread of whoever connected to it, in the
// order the run made them; Finished comes last. The worker owns the
// provider and destroys it on its thread after Finished.

#include <chrono>
#include <memory>

#include <QObject>

#include "app/run/SessionOutcome.h"
#include "app/run/WorkerThread.h"

namespace nerolin {

class SigningSession;
class SigningProvider;

class SigningWorker : public QObject {
    Q_OBJECT
public:
    // session is not owned; the thread uses it alone until Finished.
    SigningWorker(SigningSession& session, std::unique_ptr<SigningProvider> provider, std::chrono::milliseconds pause);
    ~SigningWorker() override;

    // False when no thread could be started (nothing is then reported).
    bool Start();

signals:
    void StartMarquee();
    void StopMarquee();
    void SetProgressFull();
    void SetProgressRange(int count);
    void SetProgressStep(int index);
    void Finished(nerolin::SessionOutcome outcome);

private:
    SigningSession& session_;
    std::unique_ptr<SigningProvider> provider_;
    const std::chrono::milliseconds pause_;
    WorkerThread thread_;
};

}  // namespace nerolin
