#include "app/UpdateLibrary.h"

#include <mutex>

#include "app/QtUpdaterUi.h"
#include "app/Updater.h"

namespace nerolin {
namespace {

std::mutex& LibraryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<UpdateLibrary>& Library()
{
    static std::shared_ptr<UpdateLibrary> library;
    return library;
}

}  // namespace

UpdateLibrary& Updates()
{
    std::lock_guard lock(LibraryMutex());
    auto& library = Library();
    if (!library) {
        library = std::make_shared<Updater>(std::make_shared<QtUpdaterUi>(), Updater::DefaultOptions());
    }
    return *library;
}

void SetUpdateLibrary(std::shared_ptr<UpdateLibrary> library)
{
    std::lock_guard lock(LibraryMutex());
    Library() = std::move(library);
}

}  // namespace nerolin
