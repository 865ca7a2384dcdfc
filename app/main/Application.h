#pragma once

// The application object: every start passes through Run, which
// reads the command line and decides between a maintenance command, a test
// link, a session link and a start without parameter.

#include <memory>
#include <string>
#include <vector>

namespace nerolin {

class SigningSession;
class UpdateLibrary;

// The process's exit status, for scripts and support.
namespace exit_status {
inline constexpr int kDone = 0;             // the run did what it was asked; a session finished
inline constexpr int kErrorMessage = 1;     // it ended with an error message before any session
inline constexpr int kSessionFailed = 2;    // the session failed (the status line says why)
inline constexpr int kSessionCanceled = 3;  // the session ended unfinished: canceled, or its window closed
}  // namespace exit_status

class Application {
public:
    // hasDisplay: a QApplication exists and windows can be shown; otherwise
    // a QCoreApplication and the console prompts. updates: the updater of
    // the run; without one, Nerolin's own with its Qt windows. Made on the
    // user-interface thread.
    explicit Application(bool hasDisplay, std::shared_ptr<UpdateLibrary> updates = nullptr);
    ~Application();

    // The whole run; returns the process's exit status (exit_status).
    int Run(const std::vector<std::u16string>& arguments);

private:
    int RunFlag(const std::u16string& flag);
    void CheckUrlSchemeRegistration();
    // Opens the window of the session (or of none) and runs until it closes.
    int RunMainWindow(SigningSession& session);

    bool hasDisplay_;
    std::shared_ptr<UpdateLibrary> updates_;
};

// The arguments after the program name, as UTF-16 (invalid sequences of the
// locale's encoding become U+FFFD).
std::vector<std::u16string> CommandLineArguments(int argc, char** argv);

}  // namespace nerolin
