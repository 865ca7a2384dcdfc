#include "app/main/OnDemandPrompts.h"

#include "app/main/QtInstance.h"
#include "app/ui/QtPrompts.h"
#include "common/ConsolePrompts.h"

namespace nerolin {

OnDemandPrompts::OnDemandPrompts(QtInstance& qt) : qt_(qt) {}

UserPrompts& OnDemandPrompts::Chosen()
{
    std::lock_guard lock(mutex_);
    if (!chosen_) {
        // The display is opened on the main thread only; a worker's prompt
        // finds it open (a window run opens it before any worker starts) or
        // goes to the console.
        const bool display = std::this_thread::get_id() == mainThread_ ? qt_.OpenDisplay() : qt_.HasDisplay();
        if (display)
            chosen_ = DesktopPrompts();
        else
            chosen_ = std::make_shared<ConsolePrompts>();
    }
    return *chosen_;
}

void OnDemandPrompts::ShowMessage(const std::string& text, MessageIcon icon) { Chosen().ShowMessage(text, icon); }

std::optional<SecretString> OnDemandPrompts::AskPin(const PinRequest& request) { return Chosen().AskPin(request); }

std::optional<std::size_t> OnDemandPrompts::ChooseCertificate(const std::vector<Bytes>& certificates, bool anyFound)
{
    return Chosen().ChooseCertificate(certificates, anyFound);
}

bool OnDemandPrompts::TrustServerCertificate(const std::string& host, const Bytes& certificate,
                                             const std::string& reason)
{
    return Chosen().TrustServerCertificate(host, certificate, reason);
}

std::optional<std::string> OnDemandPrompts::AskSaveFile(const SaveFileRequest& request)
{
    return Chosen().AskSaveFile(request);
}

}  // namespace nerolin
