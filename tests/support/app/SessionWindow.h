#pragma once

// A main window on a real session at the reference service, with a scripted
// provider and scripted prompts: what the user and the service saw can both
// be checked.

#include <memory>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "app/ui/MainWindow.h"
#include "session/SigningSession.h"
#include "tests/support/app/ScriptedProvider.h"
#include "tests/support/DevService.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::test {

class SessionWindow {
public:
    // Creates the session at the service from requestJson and opens the
    // window on it; the launch step starts once the event loop runs.
    SessionWindow(const DevService& service, const std::string& requestJson, ProviderScript script = {});
    ~SessionWindow();

    bool Created() const { return created_; }
    MainWindow& Window() { return *window_; }
    SigningSession& Session() { return session_; }
    ScriptedPrompts& Prompts() { return *prompts_; }
    std::vector<std::string> ProviderCalls() const { return *calls_; }

    // Waits until the window has handled the launch step's end.
    bool WaitUntilLoaded();
    // Waits until the window has handled the worker's Finished: it has closed
    // itself or offers "Close".
    bool WaitUntilFinished();

    // The service's report on the session.
    rapidjson::Document Report() const;

    void ClickStart();
    void ClickCancel();

private:
    const DevService& service_;
    std::string sessionId_;
    bool created_ = false;
    SigningSession session_;
    std::shared_ptr<ScriptedPrompts> prompts_;
    std::shared_ptr<std::vector<std::string>> calls_;
    std::unique_ptr<MainWindow> window_;
};

// True when every document of the report has a verified signature.
bool AllSignaturesVerified(const rapidjson::Document& report);

}  // namespace nerolin::test
