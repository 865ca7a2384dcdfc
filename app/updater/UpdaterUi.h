#pragma once

// What the updater shows. Every call comes from the updater's thread and
// returns at once: the Qt implementation hands the window to the
// user-interface thread, and the user's answer to an offer comes back
// through Updater::AnswerOffer. Tests record the calls instead.

#include <string>

#include "app/updater/Appcast.h"

namespace nerolin {

class Updater;

enum class UpdateChoice { Install, RemindLater, Skip };

// Why an offered update was not installed.
enum class InstallFailure {
    Download,      // it could not be downloaded
    BadSignature,  // its signature or length is not the publisher's; deleted
    WrongVersion,  // it is not the version offered, or that cannot be read; deleted
    NoInstaller,   // the system found no program to install it; kept at its path
};

class UpdaterUi {
public:
    virtual ~UpdaterUi() = default;

    // Only in a check with user interface.
    virtual void ShowUpToDate(const std::string& currentVersion) = 0;
    virtual void ShowCheckFailed() = 0;
    // A newer version: "Install update", "Remind me later", "Skip this version".
    virtual void OfferUpdate(Updater& updater, const AppcastItem& item, const std::string& currentVersion) = 0;
    // The offered update was not installed; packagePath is where it lies
    // (NoInstaller) or lay.
    virtual void ShowInstallFailed(InstallFailure failure, const std::string& packagePath) = 0;
};

}  // namespace nerolin
