#include "providers/AlternativeProviderChoice.h"

#include "eventlog/EventLog.h"

namespace nerolin {

// No alternative providers exist yet: every session signs through NSS.
std::unique_ptr<SigningProvider> ChooseAlternativeProvider(const std::string&, SigningProviderNSS&)
{
    WriteEventEntry(EntryType::Warning, "No alternative signing provider found; using NSS");
    return nullptr;
}

}  // namespace nerolin
