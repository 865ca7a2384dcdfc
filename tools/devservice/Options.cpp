#include "tools/devservice/Options.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <system_error>

#include "BuildConfig.h"

namespace nerolin::devservice {
namespace {

bool Port(const std::string& text, int& port)
{
    int value = -1;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > 65535) return false;
    port = value;
    return true;
}

bool Seconds(const std::string& text, int& seconds)
{
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 86400) return false;
    seconds = value;
    return true;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, ','))
        if (!part.empty()) parts.push_back(part);
    return parts;
}

// The PKI installed beside the program (share/nerolin-devservice/pki of its
// prefix), else the source tree's, which a service in the build tree uses.
std::string DefaultPkiDirectory()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path installed = program.parent_path() / NEROLIN_INSTALLED_PKI;
        if (std::filesystem::is_directory(installed, error)) return installed.lexically_normal().string();
    }
    return std::string(NEROLIN_SOURCE_DIR) + "/testdata/pki";
}

}  // namespace

std::string VersionText() { return std::string("nerolin-devservice ") + build::kVersion + "\n"; }

std::optional<Options> ParseOptions(int argc, char** argv, std::string& message)
{
    Options options;
    options.whitelistPort = build::kDevWhitelistPort;
    options.servicePort = build::kDevServicePort;
    options.pkiDirectory = DefaultPkiDirectory();
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            message = kUsage;
            return std::nullopt;
        }
        if (arg == "--version") {
            message = VersionText();
            return std::nullopt;
        }
        if (arg == "--demo") {
            options.demo = true;
            continue;
        }
        if (arg == "--exit-with-stdin") {
            options.exitWithStdin = true;
            continue;
        }
        static const char* const kWithValue[] = {
            "--whitelist-port", "--service-port",  "--pki",      "--whitelist-cert",  "--service-cert",
            "--trust-file",     "--allowed-hosts", "--url-host", "--appcast-version", "--request-seconds"};
        if (std::find(std::begin(kWithValue), std::end(kWithValue), arg) == std::end(kWithValue)) {
            message = "unknown option " + arg + "\n" + kUsage;
            return std::nullopt;
        }
        if (i + 1 >= argc) {
            message = "missing value after " + arg + "\n" + kUsage;
            return std::nullopt;
        }
        std::string value = argv[++i];
        bool ok = true;
        if (arg == "--whitelist-port")
            ok = Port(value, options.whitelistPort);
        else if (arg == "--service-port")
            ok = Port(value, options.servicePort);
        else if (arg == "--pki")
            options.pkiDirectory = value;
        else if (arg == "--whitelist-cert")
            options.whitelistCertificate = value;
        else if (arg == "--service-cert")
            options.serviceCertificate = value;
        else if (arg == "--trust-file")
            options.trustFile = value;
        else if (arg == "--allowed-hosts")
            options.allowedHosts = Split(value);
        else if (arg == "--url-host")
            options.urlHost = value;
        else if (arg == "--appcast-version")
            options.appcastVersion = value;
        else if (arg == "--request-seconds")
            ok = Seconds(value, options.requestSeconds);
        else {
            message = "unknown option " + arg + "\n" + kUsage;
            return std::nullopt;
        }
        if (!ok) {
            message = "bad value for " + arg + ": " + value + "\n";
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace nerolin::devservice
