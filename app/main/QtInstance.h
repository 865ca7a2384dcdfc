#pragma once

// The process's one Qt application object, made once the run knows what it
// needs: a QApplication only for a run that shows a window and only on a
// display that was reached (DisplayCheck.h); otherwise a QCoreApplication,
// and only when the run uses Qt's event loop or local sockets at all. The
// flags and TEST links run without either until they have something to show.
//
// Qt never sees the command line: it would take its own options (-reverse,
// -style, -platform, ...) out of it, so that they changed the window
// instead of counting as the unknown flags they are.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class QCoreApplication;

namespace nerolin {

class QtInstance {
public:
    explicit QtInstance(std::string programPath);
    ~QtInstance();
    QtInstance(const QtInstance&) = delete;
    QtInstance& operator=(const QtInstance&) = delete;

    // Makes the QApplication on the first call, when a display can be
    // reached; true while one exists. Once the run went on without a display
    // (a QCoreApplication exists), false for good, with the core application
    // still there for the run's local sockets. On the main thread only.
    bool OpenDisplay();
    // Whether the QApplication exists; from any thread.
    bool HasDisplay() const { return display_; }

private:
    std::string programPath_;
    std::string platformOption_ = "-platform";
    std::string platform_;
    std::vector<char*> arguments_;
    int argumentCount_ = 0;  // Qt keeps a reference to it for the application's life
    std::unique_ptr<QCoreApplication> application_;
    std::atomic<bool> display_{false};
};

}  // namespace nerolin
