#include "bench/support/SideBySide.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "bench/support/GoalLine.h"

namespace nerolin::bench {

double Percentile(std::vector<double> samples, double share)
{
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const double position = share * static_cast<double>(samples.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const auto above = std::min(below + 1, samples.size() - 1);
    const double weight = position - static_cast<double>(below);
    return samples[below] * (1 - weight) + samples[above] * weight;
}

Spread Summarize(std::vector<double> samples)
{
    return {Percentile(samples, 0.5), Percentile(samples, 0.1), Percentile(samples, 0.9)};
}

std::string Agreed::Note() const
{
    char text[96];
    if (capped)
        std::snprintf(text, sizeof text, "%d rounds, cap hit: the last two differ by more than 10 %%", rounds);
    else
        std::snprintf(text, sizeof text, "%d rounds", rounds);
    return text;
}

std::optional<Agreed> RepeatUntilAgreed(const RoundFunction& round, const AgreementOptions& options)
{
    Agreed agreed;
    std::vector<double> previous;
    for (agreed.rounds = 1; agreed.rounds <= options.maxRounds; ++agreed.rounds) {
        std::optional<std::vector<double>> figures = round();
        if (!figures || figures->empty()) return std::nullopt;
        agreed.figures = *figures;
        if (previous.size() == figures->size()) {
            bool all = true;
            for (std::size_t i = 0; i < previous.size(); ++i) {
                const double a = previous[i];
                const double b = (*figures)[i];
                const double difference = std::fabs(a - b);
                all = all && (difference <= options.agreement * std::max(std::fabs(a), std::fabs(b)) ||
                              difference <= options.resolution);
            }
            if (all) return agreed;
        }
        previous = *figures;
    }
    agreed.rounds = options.maxRounds;
    agreed.capped = true;
    return agreed;
}

std::optional<SideBySideFigures> MeasureSideBySide(const SampleFunction& subject, const SampleFunction& reference,
                                                   int samples, const AgreementOptions& options)
{
    SideBySideFigures result;
    const RoundFunction round = [&]() -> std::optional<std::vector<double>> {
        std::vector<double> a;
        std::vector<double> b;
        for (int i = 0; i < samples; ++i) {
            // Alternating the order keeps a warm cache or a slowing neighbour
            // from favouring one side.
            const bool subjectFirst = i % 2 == 0;
            std::optional<double> first = subjectFirst ? subject() : reference();
            std::optional<double> second = subjectFirst ? reference() : subject();
            if (!first || !second) return std::nullopt;
            a.push_back(subjectFirst ? *first : *second);
            b.push_back(subjectFirst ? *second : *first);
        }
        result.subject = Summarize(a);
        result.reference = Summarize(b);
        result.ratio = result.reference.median > 0 ? result.subject.median / result.reference.median : 0;
        return std::vector<double>{result.ratio};
    };
    std::optional<Agreed> agreed = RepeatUntilAgreed(round, options);
    if (!agreed) return std::nullopt;
    result.agreed = *agreed;
    return result;
}

std::string FormatSpread(const Spread& spread)
{
    return FormatSeconds(spread.median) + " (" + FormatSeconds(spread.low) + " to " + FormatSeconds(spread.high) + ")";
}

}  // namespace nerolin::bench
