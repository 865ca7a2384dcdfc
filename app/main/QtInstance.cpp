#include "app/main/QtInstance.h"

#include <QApplication>
#include <QCoreApplication>

#include "app/main/DisplayCheck.h"
#include "app/ui/QtTranslations.h"
#include "platform/qt/ThreadHandoff.h"

namespace nerolin {

QtInstance::QtInstance(std::string programPath) : programPath_(std::move(programPath)) {}

QtInstance::~QtInstance() = default;

bool QtInstance::OpenDisplay()
{
    if (application_) return display_;
    arguments_ = {programPath_.data()};
    std::optional<ReachedDisplay> reached = ReachDisplay();
    if (reached) {
        // The platform that was tried is the one Qt starts with, whatever
        // it would have chosen on its own.
        platform_ = reached->platform;
        arguments_.push_back(platformOption_.data());
        arguments_.push_back(platform_.data());
    }
    argumentCount_ = static_cast<int>(arguments_.size());
    arguments_.push_back(nullptr);
    if (reached) {
        application_ = std::make_unique<QApplication>(argumentCount_, arguments_.data());
        InstallQtTranslations(*application_);
        FollowLanguageInFormats();
        display_ = true;
    } else {
        application_ = std::make_unique<QCoreApplication>(argumentCount_, arguments_.data());
    }
    TakeOverQueuedCalls(*application_);
    return display_;  // the tried connection closes now that Qt has its own
}

}  // namespace nerolin
