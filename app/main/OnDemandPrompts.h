#pragma once

// The prompts of a run that may or may not show windows: the first prompt
// opens the display (through the opener the run was given) and then every
// prompt is a dialog; without a display each becomes the console's line or
// cancelled question. So a flag or a TEST link shows its message box where a
// desktop is at hand, and never needs one.

#include <memory>
#include <mutex>
#include <thread>

#include "common/UserPrompts.h"

namespace nerolin {

class QtInstance;

class OnDemandPrompts : public UserPrompts {
public:
    // qt: the run's Qt application, which outlives the prompts. Made on the
    // main thread, where the display is opened.
    explicit OnDemandPrompts(QtInstance& qt);

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<SecretString> AskPin(const PinRequest& request) override;
    std::optional<std::size_t> ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound) override;
    bool TrustServerCertificate(const std::string& host, const Bytes& certificate, const std::string& reason) override;
    std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override;

private:
    UserPrompts& Chosen();

    QtInstance& qt_;
    const std::thread::id mainThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::shared_ptr<UserPrompts> chosen_;
};

}  // namespace nerolin
