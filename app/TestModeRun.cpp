#include "app/TestModeRun.h"

#include "session/SigningSession.h"

namespace nerolin {

bool RunTestMode(SigningSession& /*session*/)
{
    // The exchanges of the test (whitelist download, configuration, protocol
    // version check) are added with the session protocol; until then a test
    // link ends after it has been read.
    return true;
}

}  // namespace nerolin
