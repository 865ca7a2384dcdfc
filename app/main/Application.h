#pragma once

// The application object: every start passes through Run, which
// reads the command line and decides between a maintenance command, a test
// link, a session link and a start without parameter.

#include <functional>
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
    // openDisplay: called (on this thread) by a run that shows a window,
    // before it does: true when windows can be shown; false when there is no
    // display, a Qt core application then serving the run's local sockets
    // (QtInstance::OpenDisplay). updates: the updater of the run; without
    // one, Nerolin's own with its Qt windows. Made on the user-interface
    // thread.
    explicit Application(std::function<bool()> openDisplay, std::shared_ptr<UpdateLibrary> updates = nullptr);
    ~Application();

    // The whole run; returns the process's exit status (exit_status).
    int Run(const std::vector<std::u16string>& arguments);

private:
    int RunFlag(const std::u16string& flag);
    void CheckUrlSchemeRegistration();
    // Opens the window of the session (or of none) and runs until it closes.
    int RunMainWindow(SigningSession& session);

    // One line on standard error, in the user's language, for a window
    // that cannot be shown.
    static int NoDisplay(const std::string& line);

    std::function<bool()> openDisplay_;
    std::shared_ptr<UpdateLibrary> updates_;
};

// The arguments after the program name, as UTF-16. Linux: argv in the
// locale's encoding (invalid sequences become U+FFFD). Windows: the
// process's own UTF-16 command line (argv is not read), split by the
// system's rules, except that a quoted rest holding more double quotes is
// handed over whole for CommandLine's quote rule.
std::vector<std::u16string> CommandLineArguments(int argc, char** argv);

}  // namespace nerolin
