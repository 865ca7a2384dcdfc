#pragma once

// The user prompts as Qt dialogs. Every call may come from any thread: on a
// worker the dialog runs on the user-interface thread while the worker waits
// (UiThread.h); on the user-interface thread it runs directly.

#include <memory>

#include <QWidget>

#include "common/UserPrompts.h"

namespace nerolin {

class QtPrompts : public UserPrompts {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<SecretString> AskPin(const PinRequest& request) override;
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override;
    bool TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;
};

// The window the dialogs are modal to (the main window while it exists).
// Call on the user-interface thread.
void SetPromptOwner(QWidget* owner);

// The service provider whose requirements the offered certificates met, for
// an empty certificate choice to name. Call on the user-interface thread.
void SetPromptServiceProvider(const QString& name);

// The prompts of a run with a display: Qt dialogs, or, in a development
// build started with NEROLIN_TEST_PROMPTS, the scripted prompts of
// ScriptFilePrompts.h.
std::shared_ptr<UserPrompts> DesktopPrompts();

}  // namespace nerolin
