#include "app/ui/CancelSender.h"

#include "session/SigningSession.h"

namespace nerolin {

CancelSender::CancelSender(SigningSession& session) : session_(session) {}

CancelSender::~CancelSender() { thread_.Join(); }

bool CancelSender::Start()
{
    return thread_.Start([this] {
        session_.SendCancel();
        emit Finished();
    });
}

}  // namespace nerolin
