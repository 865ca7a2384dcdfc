// Settings are read anew at every use (another process may have changed
// them); these measure what one read costs on a realistic user file.
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include <benchmark/benchmark.h>

#include "platform/qt/QSettingsStore.h"
#include "platform/Settings.h"

namespace {

// A temporary home with a user and a machine file, for the whole run.
struct BenchHome {
    std::filesystem::path root;
    BenchHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "nerolin-bench-XXXXXX").string();
        root = mkdtemp(pattern.data());
        nerolin::InstallQSettingsStore();
        setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (root / "etc").c_str(), 1);
        setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
        std::filesystem::create_directories(root / "config/Tavorel");
        std::filesystem::create_directories(root / "etc/Tavorel");
        std::ofstream(root / "config/Tavorel/Nerolin.conf")
            << "[General]\nAutomaticallyCloseApplicationWhenProcessFinished=1\nStartSigningImmediately=0\n"
               "CheckCertificateValidity=1\nProxyURL=http://proxy.example:3128\nProxyUsername=alice\n"
               "[WinSparkle]\nLastCheckTime=1\n";
        std::ofstream(root / "etc/Tavorel/Nerolin.conf") << "[General]\nAppcastURL=https://updates.example/a.xml\n";
        nerolin::SettingsKey key = nerolin::SettingsKey::OpenUser();
        nerolin::WriteProxyPassword(key, false, nerolin::SecretString("secret"));
    }
    ~BenchHome() { std::filesystem::remove_all(root); }
};

BenchHome& Home()
{
    static BenchHome home;
    return home;
}

void BM_ReadUserSetting(benchmark::State& state)
{
    Home();
    for (auto _ : state) benchmark::DoNotOptimize(nerolin::ReadUserSetting("CheckCertificateValidity", 1));
}
BENCHMARK(BM_ReadUserSetting);

void BM_ReadProxyUrlAndCredentials(benchmark::State& state)
{
    Home();
    for (auto _ : state) {
        std::string url;
        std::string name;
        nerolin::SecretString password;
        bool machineWide = nerolin::ReadProxyUrl(url);
        nerolin::ReadProxyCredentials(machineWide, name, password);
        benchmark::DoNotOptimize(password.size());
    }
}
BENCHMARK(BM_ReadProxyUrlAndCredentials);

void BM_AppcastUrlFromTheMachineFile(benchmark::State& state)
{
    Home();
    for (auto _ : state) benchmark::DoNotOptimize(nerolin::AppcastUrl());
}
BENCHMARK(BM_AppcastUrlFromTheMachineFile);

}  // namespace
