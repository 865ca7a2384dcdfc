#pragma once

// Mobile signing's polling on a thread of its own, with a QObject face: each
// state text arrives as StatusChanged and the end as Finished, queued to the
// thread of whoever connected to them, in that order.

#include <chrono>

#include <QObject>
#include <QString>

#include "app/run/StatePolling.h"
#include "app/run/WorkerThread.h"

namespace nerolin {

class SigningSession;

class StatePoller : public QObject {
    Q_OBJECT
public:
    // session is not owned; the thread uses it alone until Finished.
    StatePoller(SigningSession& session, std::chrono::milliseconds interval);
    // A poller that has not finished yet stops at its next look, without
    // waiting out its pause, and is waited for.
    ~StatePoller() override;

    // For tests: a thread start that fails.
    void SetStarter(WorkerThread::Starter starter) { thread_.SetStarter(std::move(starter)); }
    // False when no thread could be started (nothing is then reported).
    bool Start();
    // Ends the polling after the running pause and at most one more fetch.
    void Stop() { stop_.Stop(); }

signals:
    void StatusChanged(const QString& text);
    void Finished();

private:
    SigningSession& session_;
    const std::chrono::milliseconds interval_;
    PollStop stop_;
    WorkerThread thread_;
};

}  // namespace nerolin
