#pragma once

// The operations of the update library, as the program uses them: where the
// updater keeps its values, where the feed is, the three callbacks, a check
// with and without user interface, and the release at exit. The checks
// return at once; their outcome reaches the program only through the
// callbacks, which may run on a thread of the updater.

#include <memory>
#include <string>

namespace nerolin {

using UpdateCallback = void (*)();

class UpdateLibrary {
public:
    virtual ~UpdateLibrary() = default;

    // The settings path; its last component names the updater's group in
    // the user's settings file ("Software\Tavorel\Nerolin\WinSparkle").
    virtual void SetRegistryPath(const std::string& path) = 0;
    virtual void SetAppcastUrl(const std::string& url) = 0;
    // The program is to close for the installation.
    virtual void SetShutdownRequestCallback(UpdateCallback callback) = 0;
    // A check found no newer version.
    virtual void SetDidNotFindUpdateCallback(UpdateCallback callback) = 0;
    // The user declined the offered version.
    virtual void SetUpdateCancelledCallback(UpdateCallback callback) = 0;
    virtual void SetAutomaticCheckForUpdates(int state) = 0;
    virtual void CheckUpdateWithUi() = 0;
    virtual void CheckUpdateWithoutUi() = 0;
    // Ends every check and transfer and waits for the updater's thread.
    virtual void Cleanup() = 0;
};

// The updater the program's calls go to: the one installed for the run, or
// one that does nothing while none is (a window shown by a test, say). The
// installer owns the library, keeps it installed while the windows may call
// it, and uninstalls it (null) after its Cleanup.
UpdateLibrary& Updates();
void SetUpdateLibrary(std::shared_ptr<UpdateLibrary> library);

}  // namespace nerolin
