#include "app/updater/UpdateLibrary.h"

#include <mutex>

namespace nerolin {
namespace {

// Checks that find nothing and call nothing back, as when no updater is there.
class NoUpdates final : public UpdateLibrary {
public:
    void SetRegistryPath(const std::string&) override {}
    void SetAppcastUrl(const std::string&) override {}
    void SetShutdownRequestCallback(UpdateCallback) override {}
    void SetDidNotFindUpdateCallback(UpdateCallback) override {}
    void SetUpdateCancelledCallback(UpdateCallback) override {}
    void SetAutomaticCheckForUpdates(int) override {}
    void CheckUpdateWithUi() override {}
    void CheckUpdateWithoutUi() override {}
    void Cleanup() override {}
};

std::mutex libraryMutex;
std::shared_ptr<UpdateLibrary> installed;

}  // namespace

UpdateLibrary& Updates()
{
    static NoUpdates none;
    std::lock_guard lock(libraryMutex);
    return installed ? *installed : static_cast<UpdateLibrary&>(none);
}

void SetUpdateLibrary(std::shared_ptr<UpdateLibrary> library)
{
    std::lock_guard lock(libraryMutex);
    installed = std::move(library);
}

}  // namespace nerolin
