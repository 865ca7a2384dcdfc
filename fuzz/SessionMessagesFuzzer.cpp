// Every answer of the signing service, in every session mode: the readers
// must refuse or accept without a fault, whatever the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "session/SessionMessages.h"
#include "session/SigningSession.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    // The first byte picks the mode and the reader; the rest is the answer.
    const unsigned choice = data[0];
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

    nerolin::SigningSession session;
    session.sessionId = "s-1";
    session.mode = static_cast<nerolin::SessionMode>(choice % 4);
    session.documents.resize(2);
    session.documents[0].documentId = "d1";
    session.documents[1].documentId = "d2";
    // The reason a rejection gives is built from the hostile body as well.
    std::string why;
    bool accepted = false;
    switch ((choice / 4) % 5) {
    case 0: accepted = nerolin::ReadSessionConfig(body, session, &why); break;
    case 1: accepted = nerolin::ReadUnsignedHashUrl(body, session, &why); break;
    case 2: accepted = nerolin::ReadUnsignedHashes(body, session, &why); break;
    case 3: accepted = nerolin::ReadResultMessage(body, session, &why); break;
    default: accepted = nerolin::ReadStateMessage(body, session, &why); break;
    }
    // Every rejection says why; an accepted answer has nothing to say.
    if (accepted != why.empty()) __builtin_trap();
    nerolin::IsSupportedProtocolVersion(session.version);
    session.HasAllUnsignedHashes();
    return 0;
}
