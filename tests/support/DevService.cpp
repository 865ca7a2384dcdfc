#include "tests/support/DevService.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <httplib.h>
#include <rapidjson/document.h>

#include "tests/support/Portable.h"
#include "tests/support/ServiceProcess.h"

namespace nerolin::test {
namespace {

constexpr auto kStartBound = std::chrono::seconds(30);  // generous: sanitizer builds start slowly

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Value(const std::string& log, const std::string& key)
{
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line))
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    return {};
}

int PortOf(const std::string& url)
{
    auto colon = url.rfind(':');
    if (colon == std::string::npos) return 0;
    return std::atoi(url.c_str() + colon + 1);
}

}  // namespace

DevService::DevService() : DevService(Settings{}) {}

DevService::DevService(Settings settings) { Start(settings); }

DevService::~DevService()
{
    Stop();
    if (!directory_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
}

void DevService::Start(const Settings& settings)
{
    directory_ = MakeUniqueFolder(std::filesystem::temp_directory_path(), "nerolin-devservice-");
    if (directory_.empty()) return;
    const std::string logPath = directory_ + "/devservice.log";

    std::vector<std::string> arguments = {ServiceProgram(),
                                          "--whitelist-port",
                                          "0",
                                          "--service-port",
                                          "0",
                                          "--whitelist-cert",
                                          settings.whitelistCertificate,
                                          "--service-cert",
                                          settings.serviceCertificate,
                                          "--exit-with-stdin"};
    arguments.insert(arguments.end(), settings.extraArguments.begin(), settings.extraArguments.end());
    if (arguments[0].empty()) return;
    process_ = std::make_unique<ServiceProcess>(arguments, logPath);
    if (!process_->Started()) return;

    auto deadline = std::chrono::steady_clock::now() + kStartBound;
    while (std::chrono::steady_clock::now() < deadline) {
        std::string log = ReadText(logPath);
        // Line ends as the service writes them: it is a Linux program.
        if (log.find("\nready\n") != std::string::npos) {
            sslCertFile_ = PathFromService(Value(log, "SSL_CERT_FILE"));
            whitelistUrl_ = Value(log, "WHITELIST_URL");
            serviceUrl_ = Value(log, "SERVICE_URL");
            whitelistPort_ = PortOf(whitelistUrl_.substr(0, whitelistUrl_.find('/', 8)));
            servicePort_ = PortOf(serviceUrl_);
            ready_ = whitelistPort_ > 0 && servicePort_ > 0;
            return;
        }
        if (!process_->MayRun()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void DevService::Stop() { process_.reset(); }

pid_t DevService::Pid() const { return process_ ? process_->Pid() : -1; }

std::string DevService::Log() const
{
    if (directory_.empty()) return "no temporary directory";
    if (!process_ || !process_->Started())
        return "nerolin-devservice could not be started: \"" + ServiceProgram() + "\"";
    return ReadText(directory_ + "/devservice.log");
}

DevService::Reply DevService::Call(const std::string& method, const std::string& path, const std::string& body) const
{
    if (!ready_) return {};
    httplib::SSLClient client(ServiceHostName(), servicePort_);
    client.set_ca_cert_path(sslCertFile_.c_str());
    client.enable_server_certificate_verification(true);
    client.set_read_timeout(std::chrono::seconds(30));
    httplib::Result result =
        method == "GET" ? client.Get(path.c_str()) : client.Post(path.c_str(), body, "application/json");
    if (!result) return {};
    return {result->status, result->body};
}

std::optional<DevService::Session> DevService::CreateSession(const std::string& requestJson) const
{
    Reply reply = Call("POST", "/admin/sessions", requestJson);
    if (reply.status != 201) return std::nullopt;
    rapidjson::Document document;
    document.Parse(reply.body.c_str());
    if (document.HasParseError() || !document.IsObject()) return std::nullopt;
    auto text = [&](const char* name) {
        auto it = document.FindMember(name);
        return it != document.MemberEnd() && it->value.IsString() ? std::string(it->value.GetString()) : std::string();
    };
    return Session{text("sessionId"), text("sessionUrl"), text("stateUrl"), text("link")};
}

std::optional<std::string> DevService::SessionReport(const std::string& sessionId) const
{
    Reply reply = Call("GET", "/admin/sessions/" + sessionId);
    if (reply.status != 200) return std::nullopt;
    return reply.body;
}

bool DevService::AddFaults(const std::string& sessionId, const std::string& faultsJson) const
{
    return Call("POST", "/admin/sessions/" + sessionId + "/faults", faultsJson).status == 200;
}

bool DevService::ReleaseHashes(const std::string& sessionId) const
{
    return Call("POST", "/admin/sessions/" + sessionId + "/release-hashes").status == 200;
}

bool DevService::ReleaseStalls(const std::string& sessionId) const
{
    return Call("POST", "/admin/sessions/" + sessionId + "/release-stalls").status == 200;
}

std::optional<std::string> DevService::PlayMobile(const std::string& sessionId, const std::string& optionsJson) const
{
    Reply reply = Call("POST", "/admin/sessions/" + sessionId + "/mobile", optionsJson);
    if (reply.status != 200) return std::nullopt;
    return reply.body;
}

bool DevService::ConfigureWhitelist(const std::string& json) const
{
    return Call("POST", "/admin/whitelist", json).status == 200;
}

std::optional<std::string> DevService::WhitelistRequests() const
{
    Reply reply = Call("GET", "/admin/whitelist/requests");
    if (reply.status != 200) return std::nullopt;
    return reply.body;
}

bool DevService::ConfigureAppcast(const std::string& json) const
{
    return Call("POST", "/admin/appcast", json).status == 200;
}

}  // namespace nerolin::test
