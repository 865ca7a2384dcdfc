#include "platform/DesktopFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace nerolin {
namespace {

constexpr std::streamsize kMaximumFileSize = 1 << 20;

std::string Trim(const std::string& text)
{
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return {};
    std::size_t end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

}  // namespace

DesktopFile DesktopFile::FromText(const std::string& text)
{
    DesktopFile file;
    std::istringstream input(text);
    std::string line;
    std::string group;
    while (std::getline(input, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string trimmed = Trim(line);
        if (trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']') {
            group = trimmed.substr(1, trimmed.size() - 2);
            file.lines_.push_back({group, {}, line});
            continue;
        }
        std::string key;
        std::size_t equals = line.find('=');
        if (!trimmed.empty() && trimmed.front() != '#' && equals != std::string::npos)
            key = Trim(line.substr(0, equals));
        file.lines_.push_back({group, key, line});
    }
    return file;
}

std::optional<DesktopFile> DesktopFile::Read(const std::string& path)
{
    std::ifstream input(path, std::ios::binary);
    if (!input) return std::nullopt;
    std::string text(kMaximumFileSize + 1, '\0');
    input.read(text.data(), kMaximumFileSize + 1);
    if (input.bad() || input.gcount() > kMaximumFileSize) return std::nullopt;
    text.resize(static_cast<std::size_t>(input.gcount()));
    return FromText(text);
}

bool DesktopFile::HasGroup(const std::string& group) const
{
    for (const Line& line : lines_) {
        std::string trimmed = Trim(line.text);
        if (line.key.empty() && line.group == group && !trimmed.empty() && trimmed.front() == '[') return true;
    }
    return false;
}

std::optional<std::string> DesktopFile::Value(const std::string& group, const std::string& key) const
{
    for (const Line& line : lines_) {
        if (line.group == group && line.key == key) return Trim(line.text.substr(line.text.find('=') + 1));
    }
    return std::nullopt;
}

void DesktopFile::SetValue(const std::string& group, const std::string& key, const std::string& value)
{
    std::string text = key + "=" + value;
    std::size_t lastOfGroup = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].group != group) continue;
        if (lines_[i].key == key) {
            lines_[i].text = text;
            return;
        }
        if (!Trim(lines_[i].text).empty()) lastOfGroup = i;
    }
    if (lastOfGroup == lines_.size()) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({lines_.back().group, {}, ""});
        lines_.push_back({group, {}, "[" + group + "]"});
        lines_.push_back({group, key, text});
        return;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastOfGroup) + 1, Line{group, key, text});
}

void DesktopFile::RemoveKey(const std::string& group, const std::string& key)
{
    std::erase_if(lines_, [&](const Line& line) { return line.group == group && line.key == key; });
}

std::string DesktopFile::Text() const
{
    std::string text;
    for (const Line& line : lines_) text += line.text + "\n";
    return text;
}

std::string UnescapeDesktopString(const std::string& value)
{
    std::string result;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            switch (value[i + 1]) {
            case 's':
                result += ' ';
                ++i;
                continue;
            case 'n':
                result += '\n';
                ++i;
                continue;
            case 't':
                result += '\t';
                ++i;
                continue;
            case 'r':
                result += '\r';
                ++i;
                continue;
            case '\\':
                result += '\\';
                ++i;
                continue;
            default: break;
            }
        }
        result += value[i];
    }
    return result;
}

std::vector<std::string> SplitDesktopList(const std::string& value)
{
    std::vector<std::string> items;
    std::string item;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size() && value[i + 1] == ';') {
            item += ';';
            ++i;
        } else if (value[i] == ';') {
            if (!item.empty()) items.push_back(item);
            item.clear();
        } else {
            item += value[i];
        }
    }
    if (!item.empty()) items.push_back(item);
    return items;
}

std::string QuoteExecArgument(const std::string& argument)
{
    // Plain paths stay unquoted: the generic opener of xdg-utils takes the
    // first word of Exec literally and cannot start a quoted program.
    if (!argument.empty() && argument.find_first_of(" \t\n\"'\\><~|&;$*?#()`=%") == std::string::npos) return argument;
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string escaped;
    for (char c : quoted) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, unsigned mode)
{
    std::string temporary = path + ".XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool written = fchmod(fd, mode) == 0;
    for (std::size_t done = 0; written && done < text.size();) {
        ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put <= 0)
            written = false;
        else
            done += static_cast<std::size_t>(put);
    }
    written = written && fsync(fd) == 0;
    written = (close(fd) == 0) && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace nerolin
