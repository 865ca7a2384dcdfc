#pragma once

// Measuring a goal honestly on a shared machine: the thing measured and what
// it is compared with run alternately in the same round, so that a busy
// neighbour slows both; the figures are medians with their spread; rounds
// repeat until two in a row agree within 10 % (or a cap on rounds is hit,
// which the note says).

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nerolin::bench {

// A sample's median and the 10th and 90th percentiles around it.
struct Spread {
    double median = 0;
    double low = 0;
    double high = 0;
};
Spread Summarize(std::vector<double> samples);
// The value below which the given share (0..1) of the samples lie.
double Percentile(std::vector<double> samples, double share);

struct AgreementOptions {
    double agreement = 0.10;  // consecutive rounds differ by at most this share
    double resolution = 0;    // or by no more than the measurement can tell apart
    int maxRounds = 6;
};

// One round gives its figures (nullopt: the measurement failed). Rounds
// repeat until every figure of a round agrees with the round before.
using RoundFunction = std::function<std::optional<std::vector<double>>()>;
struct Agreed {
    std::vector<double> figures;  // the last round's
    int rounds = 0;
    bool capped = false;  // maxRounds was reached without agreement
    std::string Note() const;
};
std::optional<Agreed> RepeatUntilAgreed(const RoundFunction& round, const AgreementOptions& options = {});

// One sample of a measured thing, in any unit (both sides the same); nullopt
// when it failed.
using SampleFunction = std::function<std::optional<double>()>;
struct SideBySideFigures {
    Spread subject;
    Spread reference;
    double ratio = 0;  // subject median / reference median
    Agreed agreed;
};
// samples of each per round, alternating which of the two goes first.
std::optional<SideBySideFigures> MeasureSideBySide(const SampleFunction& subject, const SampleFunction& reference,
                                                   int samples, const AgreementOptions& options = {});

// "4.12 ms (3.98-4.40)" from a spread of seconds.
std::string FormatSpread(const Spread& spread);

}  // namespace nerolin::bench
