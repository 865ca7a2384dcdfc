#include "app/main/EndedSessions.h"

#include <filesystem>
#include <fstream>

#include "platform/qt/SessionChannel.h"

namespace nerolin {
namespace {

std::string MarkPath(const std::string& sessionId)
{
    const std::string base = SessionChannel::FileBase(sessionId);
    return base.empty() ? std::string() : base + ".ended";
}

}  // namespace

bool EndsSessionAtService(const SessionOutcome& outcome)
{
    switch (outcome.kind) {
    case SessionOutcome::Kind::Finished:
    case SessionOutcome::Kind::Canceled: return true;
    case SessionOutcome::Kind::Failed: return !outcome.whileOpening;
    case SessionOutcome::Kind::Open:
    case SessionOutcome::Kind::HandedOver: break;
    }
    return false;
}

bool MarkSessionEnded(const std::string& sessionId, int exitStatus)
{
    const std::string path = MarkPath(sessionId);
    if (path.empty()) return false;
    // Written whole under another name and renamed: a start that reads it
    // meanwhile finds no mark or a whole one.
    const std::string partial = path + ".partial";
    {
        std::ofstream file(partial, std::ios::trunc);
        file << exitStatus << "\n";
        if (!file.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    if (error) std::filesystem::remove(partial, error);
    return !error;
}

std::optional<int> EndedSessionStatus(const std::string& sessionId)
{
    const std::string path = MarkPath(sessionId);
    if (path.empty()) return std::nullopt;
    std::ifstream file(path);
    int status = -1;
    if (!(file >> status) || status < 0 || status > 3) return std::nullopt;
    return status;
}

}  // namespace nerolin
