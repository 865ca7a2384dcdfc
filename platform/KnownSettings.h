#pragma once

// Every value the program reads or writes in its settings files, with the
// file(s) it is looked for in, its kind and its default: for the doctor,
// which shows the settings in effect and flags the names nobody reads (a
// typing mistake in a rolled-out file is otherwise silently the default).

#include <span>
#include <string>

namespace nerolin {

struct KnownSetting {
    enum class Kind {
        Number,    // a 32-bit number (platform/Settings.h)
        Text,      // a text
        Password,  // protected bytes: never shown
        Numbered,  // name is a prefix followed by 1, 2, ... (the card entries)
    };
    enum class Files {
        User,             // read from the user's file only
        UserThenMachine,  // the user's file, else the machine's
        Machine,          // read from the machine's file only
    };
    const char* group;  // "" for the top level
    const char* name;
    Kind kind;
    Files files;
    const char* defaultValue;  // as the program takes it when absent ("" for none)
};

std::span<const KnownSetting> KnownSettings();

// The row for {group, name} (names and groups compared regardless of case,
// as the files' reader does), or null: a value that no code reads.
const KnownSetting* FindKnownSetting(const std::string& group, const std::string& name);

}  // namespace nerolin
