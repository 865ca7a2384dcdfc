#pragma once

// The updater's windows in Qt. Each call is handed to the user-interface
// thread and returns at once; the windows are application-modal so that
// they take input above the main window. Made on the user-interface thread;
// calls still queued when it goes are dropped, and so are answers of
// windows still open then.

#include <QObject>

#include "app/updater/UpdaterUi.h"

namespace nerolin {

class QtUpdaterUi final : public UpdaterUi {
public:
    void ShowUpToDate(const std::string& currentVersion) override;
    void ShowCheckFailed() override;
    void OfferUpdate(Updater& updater, const AppcastItem& item, const std::string& currentVersion) override;
    void ShowInstallFailed(InstallFailure failure, const std::string& packagePath) override;

private:
    template <typename Function>
    void OnUiThread(Function function);

    // Lives on the user-interface thread: the queued calls and the windows'
    // answers go through it.
    QObject context_;
};

}  // namespace nerolin
