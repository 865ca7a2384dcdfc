#include "app/ui/CancelSender.h"

#include "platform/qt/ThreadHandoff.h"
#include "session/SigningSession.h"

namespace nerolin {

CancelSender::CancelSender(SigningSession& session) : session_(session) {}

CancelSender::~CancelSender() { thread_.Join(); }

bool CancelSender::Start()
{
    return thread_.Start([this] {
        session_.SendCancel();
        HandOff();
        emit Finished();
    });
}

}  // namespace nerolin
