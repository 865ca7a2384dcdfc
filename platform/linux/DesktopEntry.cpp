#include "platform/DesktopEntry.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/DesktopEntryTemplate.h"
#include "platform/DesktopFile.h"
#include "platform/XdgDirectories.h"

extern char** environ;

namespace nerolin {
namespace {

constexpr char kEntryGroup[] = "Desktop Entry";
constexpr char kDefaultGroup[] = "Default Applications";
constexpr char kAddedGroup[] = "Added Associations";

std::string UserApplications() { return DataHome() + "/applications"; }
std::string UserMimeApps() { return ConfigHome() + "/mimeapps.list"; }

std::vector<std::string> ApplicationDirectories()
{
    std::vector<std::string> directories{UserApplications()};
    for (const std::string& data : DataDirectories()) directories.push_back(data + "/applications");
    return directories;
}

bool IsFile(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Brings the folder's mimeinfo.cache up to date. The tool may be missing
// (the cache is an optimisation); a run is bounded to ten seconds.
void UpdateDesktopDatabase(const std::string& directory)
{
    const char* arguments[] = {"update-desktop-database", "-q", directory.c_str(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, arguments[0], nullptr, nullptr, const_cast<char* const*>(arguments), environ) != 0) return;
    for (int waited = 0; waited < 1000; ++waited) {
        int status = 0;
        pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) return;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

// The first desktop id of a list that names an installed entry.
std::string FirstInstalled(const std::string& list)
{
    for (const std::string& id : SplitDesktopList(list)) {
        for (const std::string& directory : ApplicationDirectories()) {
            if (IsFile(directory + "/" + id)) return directory + "/" + id;
        }
    }
    return {};
}

// The entry x-scheme-handler/yendo resolves to: the first default of the
// mimeapps.list files in their order, else the desktop database.
std::string ResolveHandlerEntry()
{
    std::vector<std::string> lists{UserMimeApps()};
    for (const std::string& config : ConfigDirectories()) lists.push_back(config + "/mimeapps.list");
    for (const std::string& directory : ApplicationDirectories()) lists.push_back(directory + "/mimeapps.list");
    for (const std::string& path : lists) {
        auto file = DesktopFile::Read(path);
        if (!file) continue;
        if (auto value = file->Value(kDefaultGroup, kSchemeMimeType)) {
            std::string entry = FirstInstalled(*value);
            if (!entry.empty()) return entry;
        }
    }
    for (const std::string& directory : ApplicationDirectories()) {
        auto cache = DesktopFile::Read(directory + "/mimeinfo.cache");
        if (!cache) continue;
        if (auto value = cache->Value("MIME Cache", kSchemeMimeType)) {
            std::string entry = FirstInstalled(*value);
            if (!entry.empty()) return entry;
        }
    }
    return {};
}

// The program an Exec line starts, as a canonical path: absolute as
// written, or found on PATH as the desktop would.
std::string ResolveProgram(const std::string& program)
{
    std::string found;
    if (program.find('/') != std::string::npos) {
        found = program;
    } else if (const char* path = std::getenv("PATH")) {
        std::string rest = path;
        for (std::size_t start = 0; start <= rest.size();) {
            std::size_t colon = rest.find(':', start);
            std::string directory = rest.substr(start, colon - start);
            std::string candidate = (directory.empty() ? "." : directory) + "/" + program;
            if (access(candidate.c_str(), X_OK) == 0) {
                found = candidate;
                break;
            }
            if (colon == std::string::npos) break;
            start = colon + 1;
        }
    }
    char canonical[PATH_MAX];
    if (found.empty() || realpath(found.c_str(), canonical) == nullptr) return {};
    return canonical;
}

void RemoveFromList(DesktopFile& file, const char* group)
{
    auto value = file.Value(group, kSchemeMimeType);
    if (!value) return;
    std::vector<std::string> ids = SplitDesktopList(*value);
    std::erase(ids, std::string(kDesktopEntryName));
    if (ids.empty()) {
        file.RemoveKey(group, kSchemeMimeType);
        return;
    }
    std::string list;
    for (const std::string& id : ids) list += id + ";";
    file.SetValue(group, kSchemeMimeType, list);
}

}  // namespace

std::string ProgramPath()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<std::size_t>(length));
}

std::string UserDesktopEntryPath() { return UserApplications() + "/" + kDesktopEntryName; }

bool RegisterUrlScheme(const std::string& programPath)
{
    if (programPath.empty()) return false;
    std::string entry = kDesktopEntryTemplate;
    std::size_t placeholder = entry.find("@EXEC@");
    if (placeholder == std::string::npos) return false;
    entry.replace(placeholder, 6, QuoteExecArgument(programPath));
    if (!MakeDirectories(UserApplications(), 0755) || !WriteFileAtomically(UserDesktopEntryPath(), entry, 0644))
        return false;

    std::string listPath = UserMimeApps();
    if (!MakeDirectories(listPath.substr(0, listPath.rfind('/')), 0700)) return false;
    DesktopFile list = DesktopFile::Read(listPath).value_or(DesktopFile{});
    list.SetValue(kDefaultGroup, kSchemeMimeType, std::string(kDesktopEntryName) + ";");
    if (!WriteFileAtomically(listPath, list.Text(), 0644)) return false;
    UpdateDesktopDatabase(UserApplications());
    return true;
}

bool UnregisterUrlScheme()
{
    bool removed = true;
    if (unlink(UserDesktopEntryPath().c_str()) != 0 && errno != ENOENT) removed = false;
    if (auto list = DesktopFile::Read(UserMimeApps())) {
        std::string before = list->Text();
        RemoveFromList(*list, kDefaultGroup);
        RemoveFromList(*list, kAddedGroup);
        if (list->Text() != before && !WriteFileAtomically(UserMimeApps(), list->Text(), 0644)) removed = false;
    }
    if (IsFile(UserApplications() + "/mimeinfo.cache")) UpdateDesktopDatabase(UserApplications());
    return removed;
}

RegistrationCheck CheckRegistration(const std::string& programPath)
{
    RegistrationCheck check;
    check.entryPath = ResolveHandlerEntry();
    auto entry = check.entryPath.empty() ? std::nullopt : DesktopFile::Read(check.entryPath);
    if (!entry) {
        check.problems.emplace_back("can't read yendo key");
        return check;
    }
    check.entryFound = true;

    auto type = entry->Value(kEntryGroup, "Type");
    if (!entry->HasGroup(kEntryGroup) || !type || *type != "Application")
        check.problems.emplace_back("bad value for yendo");

    auto mimeTypes = entry->Value(kEntryGroup, "MimeType");
    std::vector<std::string> types = mimeTypes ? SplitDesktopList(*mimeTypes) : std::vector<std::string>{};
    if (std::find(types.begin(), types.end(), kSchemeMimeType) == types.end())
        check.problems.emplace_back("bad value for yendo\\URL Protocol");

    auto exec = entry->Value(kEntryGroup, "Exec");
    if (!exec) {
        check.problems.emplace_back("can't read yendo\\shell\\open\\command key");
        return check;
    }
    std::vector<std::string> arguments = SplitExec(UnescapeDesktopString(*exec));
    char canonical[PATH_MAX];
    std::string self = !programPath.empty() && realpath(programPath.c_str(), canonical) ? canonical : "";
    if (arguments.size() != 2 || arguments[1] != "%u" || self.empty() || ResolveProgram(arguments[0]) != self)
        check.problems.emplace_back("bad value for yendo\\shell\\open\\command");
    return check;
}

std::vector<std::string> SplitExec(const std::string& exec)
{
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size() &&
                std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                current += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
        } else if (c == ' ' || c == '\t') {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else if (c == '"') {
            quoted = inArgument = true;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

}  // namespace nerolin
