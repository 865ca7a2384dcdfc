#pragma once

// The user-interface texts, by their numeric identifiers, in English and
// Hungarian. This table is the only place where user-visible texts live.

#include <string>

namespace nerolin {

enum class Language { English, Hungarian };

// Hungarian when the user's language is: on Linux when the first language
// named by LANGUAGE, LC_ALL, LC_MESSAGES or LANG (the first of them that is
// set and not empty) starts with "hu", on Windows when the user's interface
// language is Hungarian; English otherwise.
Language UserInterfaceLanguage();

// UTF-8 text of a string identifier in the given language, or in the
// user-interface language. An unknown identifier gives the empty text.
std::string LoadString(int id, Language language);
std::string LoadString(int id);

// printf-style filling of a text from the table (%s with UTF-8, %d).
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace nerolin
