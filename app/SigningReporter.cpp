#include "app/SigningReporter.h"

#include "app/WindowMessages.h"

namespace nerolin {

void CyendoSigningReporter::Post(int slot, int argument)
{
    PostWindowMessage(window_, UM_WORKER_REPORT, slot, argument);
}

}  // namespace nerolin
