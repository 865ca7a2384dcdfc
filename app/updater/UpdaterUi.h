#pragma once

// What the updater shows. Every call comes from the updater's thread and
// returns at once: the Qt implementation hands the window to the
// user-interface thread, and the user's answer to an offer comes back
// through Updater::AnswerOffer, and the end of opening a package
// through Updater::PackageOpened. Tests record the calls instead.

#include <string>

#include "app/updater/Appcast.h"

namespace nerolin {

class Updater;

enum class UpdateChoice { Install, RemindLater, Skip };

class UpdaterUi {
public:
    virtual ~UpdaterUi() = default;

    // Only in a check with user interface.
    virtual void ShowUpToDate(const std::string& currentVersion) = 0;
    virtual void ShowCheckFailed() = 0;
    // A newer version: "Install update", "Remind me later", "Skip this version".
    virtual void OfferUpdate(Updater& updater, const AppcastItem& item, const std::string& currentVersion) = 0;
    // The package could not be downloaded, failed its signature check or
    // could not be handed to the system.
    virtual void ShowInstallFailed(bool badSignature) = 0;
    // Hands the verified package to the system, then tells the updater
    // through Updater::PackageOpened.
    virtual void OpenPackage(Updater& updater, const std::string& path) = 0;
};

}  // namespace nerolin
