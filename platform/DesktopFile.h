#pragma once

// Files in the freedesktop "desktop entry" format: desktop entries,
// mimeapps.list and mimeinfo.cache. Groups in [brackets], key=value lines;
// comments and blank lines are kept when a file is rewritten.

#include <optional>
#include <string>
#include <vector>

namespace nerolin {

class DesktopFile {
public:
    // Parses text; lines that are neither groups nor keys are kept as they are.
    static DesktopFile FromText(const std::string& text);
    // nullopt when the file cannot be read (missing, unreadable, over 1 MiB).
    static std::optional<DesktopFile> Read(const std::string& path);

    bool HasGroup(const std::string& group) const;
    // The raw value (after the first "=", spaces around it trimmed).
    std::optional<std::string> Value(const std::string& group, const std::string& key) const;
    // Adds the group at the end when it is missing.
    void SetValue(const std::string& group, const std::string& key, const std::string& value);
    void RemoveKey(const std::string& group, const std::string& key);
    std::string Text() const;

private:
    struct Line {
        std::string group;  // the group the line belongs to
        std::string key;    // empty for a group header or any other line
        std::string text;   // the whole line
    };
    std::vector<Line> lines_;
};

// A string value with the \s \n \t \r \\ escapes undone.
std::string UnescapeDesktopString(const std::string& value);
// The items of a ";"-separated list value (escaped ";" kept), empty ones dropped.
std::vector<std::string> SplitDesktopList(const std::string& value);
// One argument of an Exec line: as it is when it holds no reserved
// character, else quoted with " ` $ \ escaped; then escaped once more as a
// string value.
std::string QuoteExecArgument(const std::string& argument);

// Writes through a temporary file in the same folder and a rename, so a
// reader never sees half a file. False on any failure.
bool WriteFileAtomically(const std::string& path, const std::string& text, unsigned mode);

}  // namespace nerolin
