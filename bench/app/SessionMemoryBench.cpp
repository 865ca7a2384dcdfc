// Peak memory (maximum resident set) of a whole nerolin run that signs a
// 10-document SIGN session at the reference service, on Qt's offscreen
// platform with the key in an NSS software token.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "bench/support/AgentRun.h"
#include "tests/support/DevService.h"
#include "tests/support/TestPki.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const char* kTenDocuments =
    R"({"mode":"SIGN","certificate":"rsa","documents":[)"
    R"({"name":"1.pdf"},{"name":"2.pdf"},{"name":"3.pdf"},{"name":"4.pdf"},{"name":"5.pdf"},)"
    R"({"name":"6.pdf"},{"name":"7.pdf"},{"name":"8.pdf"},{"name":"9.pdf"},{"name":"10.pdf"}]})";

// Runs nerolin on the link; its exit status and its peak resident set in KiB.
bool RunAgent(const fs::path& home, const nerolin::test::DevService& service, const nerolin::test::TestToken& token,
              const std::string& link, long& peakKiB)
{
    const std::string program = std::string(NEROLIN_BINARY_DIR) + "/bin/nerolin";
    const std::string h = home.string();
    std::vector<std::string> settings = {
        "QT_QPA_PLATFORM=offscreen",
        "LANGUAGE=en",
        "HOME=" + h,
        "XDG_CONFIG_HOME=" + h + "/config",
        "XDG_DATA_HOME=" + h + "/data",
        "XDG_STATE_HOME=" + h + "/state",
        "XDG_RUNTIME_DIR=" + h,
        "SSL_CERT_FILE=" + service.SslCertFile(),
        "NEROLIN_TEST_WHITELIST_URL=" + service.WhitelistUrl(),
        "SOFTHSM2_CONF=" + token.softhsmConf,
    };
    for (std::string& variable : nerolin::bench::SystemXdgVariables()) {
        settings.push_back(std::move(variable));
    }
    std::vector<char*> environment;
    for (auto& entry : settings) {
        environment.push_back(entry.data());
    }
    environment.push_back(nullptr);
    std::string argument = link;
    char* arguments[] = {const_cast<char*>(program.c_str()), argument.data(), nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, program.c_str(), nullptr, nullptr, arguments, environment.data()) != 0) {
        return false;
    }
    int status = 0;
    rusage usage{};
    // A ten-document session takes seconds; an agent waiting behind a message
    // box would otherwise hold the benchmark for ever.
    if (!nerolin::bench::WaitForChild(child, std::chrono::seconds(120), status, &usage)) {
        std::fprintf(stderr, "bench_app_session: the agent did not end within 120 s (killed)\n");
        return false;
    }
    peakKiB = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WholeTenDocumentSession(benchmark::State& state)
{
    char pattern[] = "/tmp/nerolin-bench-session-XXXXXX";
    const fs::path home = mkdtemp(pattern);
    nerolin::test::DevService service;
    const auto token = nerolin::test::MakeTestToken((home / "token").string(), "--no-softhsm --nss-certs rsa");
    if (!service.Running() || !token) {
        state.SkipWithError("reference service or NSS database missing");
        return;
    }
    fs::create_directories(home / "config/Tavorel");
    std::ofstream(home / "config/Tavorel/Nerolin.conf")
        << "[General]\nStartSigningImmediately=1\nAutomaticallyCloseApplicationWhenProcessFinished=1\n"
           "SkipUpdateCheckOnEnd=1\nCertificateDatabase="
        << token->nssDb << "\n";

    long peakKiB = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto session = service.CreateSession(kTenDocuments);
        state.ResumeTiming();
        if (!session || !RunAgent(home, service, *token, session->link, peakKiB)) {
            state.SkipWithError("the run did not finish");
            break;
        }
        const auto report = service.SessionReport(session->sessionId).value_or("");
        if (report.find("\"signatureValid\":false") != std::string::npos ||
            report.find("\"signatureValid\":null") != std::string::npos) {
            state.SkipWithError("the service did not verify every signature");
            break;
        }
    }
    state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
    fs::remove_all(home);
}
BENCHMARK(WholeTenDocumentSession)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
