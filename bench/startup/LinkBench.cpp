// Writing a link and its QR code, and reading a link back, for a request
// of typical size and for one near the QR code's limit.
#include <benchmark/benchmark.h>

#include "common/Text.h"
#include "session/LaunchRequest.h"

namespace {

nerolin::LaunchRequest Request(std::size_t idLength)
{
    return {"https://service.example/signing/session?tenant=a%20b", std::string(idLength, 'x'),
            nerolin::SessionMode::SignMode};
}

void BM_MakeQRCode(benchmark::State& state)
{
    nerolin::LaunchRequest request = Request(static_cast<std::size_t>(state.range(0)));
    nerolin::RgbImage image;
    for (auto _ : state) benchmark::DoNotOptimize(nerolin::MakeQRCode(request, image));
}
BENCHMARK(BM_MakeQRCode)->Arg(36)->Arg(900)->Unit(benchmark::kMillisecond);

void BM_ReadLink(benchmark::State& state)
{
    std::u16string link = nerolin::Utf8ToWide(*nerolin::LaunchLink(Request(static_cast<std::size_t>(state.range(0)))));
    for (auto _ : state) {
        nerolin::LaunchRequest request;
        benchmark::DoNotOptimize(nerolin::ParseLaunchRequest(*nerolin::LaunchJsonFromLink(link), request));
    }
}
BENCHMARK(BM_ReadLink)->Arg(36)->Arg(900);

}  // namespace

BENCHMARK_MAIN();
