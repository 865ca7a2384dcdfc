#pragma once

// The cancel message of a session the user closes before signing, sent on a
// thread of its own so the window stays responsive while the service
// answers (or does not). Finished is queued to the thread of whoever
// connected to it once the exchange has ended, its message included.

#include <QObject>

#include "app/run/WorkerThread.h"

namespace nerolin {

class SigningSession;

class CancelSender : public QObject {
    Q_OBJECT
public:
    // session is not owned; the thread uses it alone until Finished.
    explicit CancelSender(SigningSession& session);
    ~CancelSender() override;

    // False when no thread could be started (nothing is then sent).
    bool Start();

signals:
    void Finished();

private:
    SigningSession& session_;
    WorkerThread thread_;
};

}  // namespace nerolin
