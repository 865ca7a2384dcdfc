#pragma once

// One line per goal on standard output, which ./run bench gathers into its
// closing table:
//   GOAL<TAB>goal<TAB>figure<TAB>ratio<TAB>met|not met<TAB>note
// The goal and figure are texts for people ("<= 1.10 x bare loop",
// "4.12 ms"); ratio is figure / limit for absolute goals and subject /
// reference for side-by-side goals, so below 1 (or below the limit) is good.

#include <string>

namespace nerolin::bench {

struct GoalLine {
    std::string goal;    // what is promised, with its limit
    std::string figure;  // what was measured, with its spread
    double ratio = 0;    // the figure against what the limit applies to
    bool met = false;
    std::string note;  // rounds taken, a cap that was hit, the platform
};

void PrintGoalLine(const GoalLine& line);

// "12.3 ms", "45.6 µs": a duration in seconds in a readable unit.
std::string FormatSeconds(double seconds);

}  // namespace nerolin::bench
