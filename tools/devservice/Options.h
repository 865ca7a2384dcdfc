#pragma once

#include <optional>
#include <string>
#include <vector>

namespace nerolin::devservice {

struct Options {
    int whitelistPort = 0;
    int servicePort = 0;
    std::string pkiDirectory;
    std::string whitelistCertificate = "host-2848-root2";
    std::string serviceCertificate = "service-localhost";
    std::string trustFile;  // what SSL_CERT_FILE must name; empty: chosen from the service certificate
    std::vector<std::string> allowedHosts = {"127.0.0.1", "localhost"};
    std::string urlHost = "127.0.0.1";
    std::string appcastVersion = "1.0.22";
    bool demo = false;
    bool exitWithStdin = false;  // stop when standard input reaches its end
    int requestSeconds = 30;     // the longest a client may take to deliver one request
};

inline constexpr const char* kUsage =
    "usage: nerolin-devservice [--demo] [--whitelist-port N] [--service-port N]\n"
    "         [--whitelist-cert NAME|PATH] [--service-cert NAME|PATH] [--trust-file PATH]\n"
    "         [--allowed-hosts HOST,...] [--url-host HOST] [--pki DIR] [--appcast-version V]\n"
    "         [--request-seconds N] [--exit-with-stdin]\n"
    "       nerolin-devservice --help | --version\n"
    "Serves the whitelist host and a reference signing service on 127.0.0.1 until\n"
    "SIGINT or SIGTERM. A port of 0 picks a free one. Prints SSL_CERT_FILE=...,\n"
    "then WHITELIST_URL=... and SERVICE_URL=... (or, with --demo, one line\n"
    "\"MODE yendo:...\" per session mode), then \"ready\"; request logs follow.\n"
    "--exit-with-stdin also stops it when standard input closes (for test fixtures).\n"
    "A client that takes over --request-seconds (default 30) to deliver a request is cut off.\n"
    "A browser shows a session as a web application would at SERVICE_URL/webapp/sessions/ID.\n";

// "nerolin-devservice VERSION" and a line end.
std::string VersionText();

// Defaults from the build; nullopt and a message on a bad command line, or
// the usage or version text when asked for one.
std::optional<Options> ParseOptions(int argc, char** argv, std::string& message);

}  // namespace nerolin::devservice
