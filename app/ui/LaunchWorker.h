#pragma once

// The launch step on a thread of its own, with a QObject face: its reports
// arrive as signals, queued to the thread of whoever connected to them, in
// the order the step made them, and Finished last.

#include <QObject>

#include "app/run/SessionOutcome.h"
#include "app/run/WorkerThread.h"

namespace nerolin {

class SigningSession;

class LaunchWorker : public QObject {
    Q_OBJECT
public:
    // session is not owned; the thread uses it alone until Finished.
    explicit LaunchWorker(SigningSession& session);
    ~LaunchWorker() override;

    // False when no thread could be started (nothing is then reported).
    bool Start();

signals:
    void StepBegins();
    void StepEnded();
    // Open: the configuration arrived and may be shown; else why not.
    void Finished(nerolin::SessionOutcome outcome);

private:
    SigningSession& session_;
    WorkerThread thread_;
};

}  // namespace nerolin
