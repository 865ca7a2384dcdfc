#include "app/main/DisplayCheck.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include <QLibraryInfo>

namespace nerolin {
namespace {

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::unique_ptr<xcb_connection_t, XConnectionCloser> ConnectToX()
{
    if (Variable("DISPLAY").empty()) return nullptr;
    // Freed by xcb_disconnect also when it is in its error state.
    std::unique_ptr<xcb_connection_t, XConnectionCloser> connection(xcb_connect(nullptr, nullptr));
    if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
    return connection;
}

bool CanConnectToWayland()
{
    // A compositor that started the program may hand it a connected socket.
    if (!Variable("WAYLAND_SOCKET").empty()) return true;
    std::string socketPath = Variable("WAYLAND_DISPLAY");
    if (socketPath.empty()) socketPath = "wayland-0";
    if (socketPath.front() != '/') {
        const std::string runtime = Variable("XDG_RUNTIME_DIR");
        if (runtime.empty()) return false;
        socketPath = runtime + "/" + socketPath;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Qt's Wayland support is a package of its own; without it a "wayland"
// platform fails as surely as an unreachable compositor.
bool HasWaylandPlugin()
{
    const std::filesystem::path folder =
        QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + std::string("/platforms");
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().rfind("libqwayland", 0) == 0) return true;
    }
    return false;
}

std::optional<ReachedDisplay> Reach(const std::string& candidate)
{
    const std::string name = candidate.substr(0, candidate.find(':'));  // "xcb:arguments"
    if (name == "xcb") {
        auto connection = ConnectToX();
        if (!connection) return std::nullopt;
        return ReachedDisplay{candidate, std::move(connection)};
    }
    if (name.rfind("wayland", 0) == 0 && !(CanConnectToWayland() && HasWaylandPlugin())) return std::nullopt;
    if (name.empty()) return std::nullopt;
    return ReachedDisplay{candidate, nullptr};
}

std::vector<std::string> Candidates()
{
    std::vector<std::string> candidates;
    const std::string chosen = Variable("QT_QPA_PLATFORM");
    if (!chosen.empty()) {
        for (std::size_t begin = 0; begin <= chosen.size();) {
            const std::size_t end = std::min(chosen.find(';', begin), chosen.size());
            if (end > begin) candidates.push_back(chosen.substr(begin, end - begin));
            begin = end + 1;
        }
        return candidates;
    }
    const bool waylandSession = Variable("XDG_SESSION_TYPE") == "wayland" &&
                                Lower(Variable("XDG_CURRENT_DESKTOP")).find("gnome") == std::string::npos &&
                                Lower(Variable("XDG_SESSION_DESKTOP")).find("gnome") == std::string::npos;
    if (waylandSession) candidates.push_back("wayland");
    candidates.push_back("xcb");
    if (!waylandSession) candidates.push_back("wayland");
    return candidates;
}

}  // namespace

void XConnectionCloser::operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }

std::optional<ReachedDisplay> ReachDisplay()
{
    for (const std::string& candidate : Candidates()) {
        if (auto reached = Reach(candidate)) return reached;
    }
    return std::nullopt;
}

}  // namespace nerolin
