#pragma once

// The clear form of a stored proxy password, before it is protected and
// after it is opened, with its terminating NUL:
//   Windows: the text in the thread's ANSI code page (WideToAnsi), so a
//            character the code page lacks comes back as the code page's
//            default character; the form every program that reads the
//            value expects.
//   Linux:   the UTF-8 text; the settings files are UTF-8 whatever the
//            locale, and a locale's narrow character set could lose
//            characters that UTF-8 keeps.

#include "common/SecretString.h"
#include "common/Text.h"

namespace nerolin {

// The bytes to protect, appended to clear (which the caller wipes); false,
// with nothing appended, when the password cannot be converted.
bool StoredPasswordBytes(const SecretString& password, Bytes& clear);

// The password of opened bytes, up to their first NUL; false, leaving the
// password as it was, when they cannot be converted; false and an empty
// password when it is longer than a SecretString holds.
bool PasswordOfStoredBytes(const Bytes& clear, SecretString& password);

}  // namespace nerolin
