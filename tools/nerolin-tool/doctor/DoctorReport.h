#pragma once

// The doctor's report: seven checks in a fixed order, each with its verdict,
// one line saying why and what to do, and its details (docs/doctor.md). The
// checks fill it; the text and JSON writers print it.

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace nerolin::tool::doctor {

// An error blocks a signature on this machine; a warning is worth knowing
// but leaves a way to sign.
enum class Verdict { Ok, Warning, Error };

// One fact of a check: what it is about (a stable key such as "root" or
// "token"), its value as the system has it (a path, a subject, a label), and
// optionally a verdict of its own with a note in the user's language.
struct Detail {
    std::string item;
    std::string value;
    std::optional<Verdict> verdict;
    std::string note;
};

struct CheckResult {
    std::string id;  // "program", "handler", "settings", "network", "tokens", "cards", "eventlog"
    int titleId = 0;
    Verdict verdict = Verdict::Ok;
    std::string summary;  // why, and what to do
    std::vector<Detail> details;
    // Whether an error of this check stands between the machine and a
    // signature. The event store's does not: a damaged store is set aside at
    // the program's next start, and only the history is lost.
    bool errorBlocks = true;

    bool Blocks() const { return verdict == Verdict::Error && errorBlocks; }

    // A detail with a verdict raises the check's verdict to it.
    void Add(std::string item, std::string value, std::optional<Verdict> verdict = std::nullopt, std::string note = {});
    void Raise(Verdict at) { verdict = std::max(verdict, at); }
};

struct DoctorReport {
    std::vector<CheckResult> checks;
    // Whether any check blocks: the exit status 1.
    bool Blocked() const;
};

// The version of the JSON shape; raised only when a member changes meaning
// or goes away (new members do not raise it).
inline constexpr int kJsonShapeVersion = 1;

const char* VerdictKey(Verdict verdict);  // "ok", "warning", "error"

std::string WriteText(const DoctorReport& report);
std::string WriteJson(const DoctorReport& report);

}  // namespace nerolin::tool::doctor
