#include "bench/support/GoalLine.h"

#include <cstdio>

namespace nerolin::bench {

void PrintGoalLine(const GoalLine& line)
{
    // Tabs and newlines inside the texts would break the columns.
    auto clean = [](std::string text) {
        for (char& c : text)
            if (c == '\t' || c == '\n') c = ' ';
        return text;
    };
    std::printf("GOAL\t%s\t%s\t%.3f\t%s\t%s\n", clean(line.goal).c_str(), clean(line.figure).c_str(), line.ratio,
                line.met ? "met" : "not met", clean(line.note).c_str());
    std::fflush(stdout);
}

std::string FormatSeconds(double seconds)
{
    char text[64];
    if (seconds >= 1)
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    else if (seconds >= 1e-3)
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    else
        std::snprintf(text, sizeof text, "%.1f µs", seconds * 1e6);
    return text;
}

}  // namespace nerolin::bench
