#pragma once

// The two background threads of the main window. Neither touches a widget:
// they post window messages, and their message boxes go through Prompts().

#include <atomic>
#include <chrono>
#include <memory>

#include <QObject>

#include "app/SigningReporter.h"
#include "providers/SigningProvider.h"

namespace nerolin {

class SigningSession;

struct LaunchThreadParam {
    SigningSession* session = nullptr;     // not owned
    std::atomic<bool>* loading = nullptr;  // cleared at the thread's end
    QObject* window = nullptr;             // target of UM_LAUNCH_PROGRESS
};

// Downloads the whitelist and fetches the configuration, then reports
// UM_LAUNCH_PROGRESS (1, 1) when the configuration may be shown, (1, 0) when not.
void LaunchThreadProc(const LaunchThreadParam& param);

struct SigningThreadParam {
    SigningSession* session = nullptr;     // not owned
    std::atomic<bool>* running = nullptr;  // cleared by the worker at its end
    std::unique_ptr<SigningProvider> provider;
    std::unique_ptr<SigningReporter> reporter;
    // The pause after the service's "OK" and between polls for the unsigned
    // hashes. Tests shorten it.
    std::chrono::milliseconds pause{1000};
};

// One session from the certificate to the signatures. Always ends with
// Finalize of the provider, the running flag cleared and Finished reported,
// in that order; after Finished it touches neither the session nor the
// window, only destroys what the record owns.
void SigningThreadProc(std::unique_ptr<SigningThreadParam> param);

}  // namespace nerolin
