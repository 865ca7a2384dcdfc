#pragma once

// What the PIN and proxy dialogs say when a typed secret is longer than a
// SecretString holds: the secret is refused whole, never cut.

#include "common/SecretString.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"

namespace nerolin {

inline void ShowSecretTooLong()
{
    Prompts().ShowMessage(
        FormatText(LoadString(strings::kSecretTooLong).c_str(), static_cast<int>(SecretString::kCapacity)),
        MessageIcon::Error);
}

}  // namespace nerolin
