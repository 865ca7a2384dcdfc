#include "app/main/Application.h"

#include <cstdio>
#include <memory>

#include <QApplication>

#include "app/main/CommandLine.h"
#include "app/main/EndedSessions.h"
#include "app/run/TestModeRun.h"
#include "app/ui/MainWindow.h"
#include "app/ui/ProxyDialog.h"
#include "app/ui/QtUpdaterUi.h"
#include "app/ui/WindowActivation.h"
#include "app/updater/UpdateCalls.h"
#include "app/updater/UpdateLibrary.h"
#include "app/updater/Updater.h"
#include "BuildConfig.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogReporter.h"
#include "platform/qt/SessionChannel.h"
#include "platform/Settings.h"
#include "platform/UrlScheme.h"
#include "session/LaunchRequest.h"
#include "session/SigningSession.h"

namespace nerolin {
namespace {

void ShowError(int id) { Prompts().ShowMessage(LoadString(id), MessageIcon::Error); }

// The status of a run whose window has closed: its session's outcome. A
// session that never ended was left by the user (or by an update's
// installation) unfinished.
int ExitStatusOf(const SessionOutcome& outcome, bool hasSession)
{
    switch (outcome.kind) {
    case SessionOutcome::Kind::Finished:
    case SessionOutcome::Kind::HandedOver: return exit_status::kDone;
    case SessionOutcome::Kind::Failed: return exit_status::kSessionFailed;
    case SessionOutcome::Kind::Canceled: return exit_status::kSessionCanceled;
    case SessionOutcome::Kind::Open: break;
    }
    return hasSession ? exit_status::kSessionCanceled : exit_status::kDone;
}

}  // namespace

Application::Application(std::function<bool()> openDisplay, std::shared_ptr<UpdateLibrary> updates)
    : openDisplay_(std::move(openDisplay)),
      updates_(updates ? std::move(updates)
                       : std::make_shared<Updater>(std::make_shared<QtUpdaterUi>(), Updater::DefaultOptions()))
{
}

Application::~Application() = default;

int Application::Run(const std::vector<std::u16string>& arguments)
{
    // The run's updater answers the windows' calls until the run ends. Every
    // run releases it then, maintenance commands too: its thread is joined
    // before the run returns.
    SetUpdateLibrary(updates_);
    struct UpdaterRelease {
        ~UpdaterRelease()
        {
            CleanupUpdates();
            SetUpdateLibrary(nullptr);
        }
    } updaterRelease;
    RegisterEventSource();
    // Said once, on the console: a user whose home cannot be written would
    // otherwise look in vain for the log that support asks for.
    if (!EventStoreCanBeKept(DefaultEventStorePath()))
        std::fprintf(stderr, "Nerolin: %s\n", LoadString(strings::kEventLogCannotBeKept).c_str());
    if (build::kDevelopmentBuild) WriteEventEntry(EntryType::Information, "development build");

    CommandLine commandLine;
    commandLine.ParseArguments(arguments);
    if (commandLine.firstParameterIsFlag) return RunFlag(commandLine.firstParameter);

    auto session = std::make_unique<SigningSession>();
    bool requestRejected = false;
    if (!commandLine.firstParameter.empty()) {
        auto json = LaunchJsonFromLink(commandLine.firstParameter);
        if (!json) {
            ShowError(strings::kInvalidUri);
            requestRejected = true;
        } else if (!session->ParseLaunchRequest(*json)) {
            ShowError(strings::kBadRequest);
            requestRejected = true;
        } else if (session->mode == SessionMode::TestMode) {
            CheckUrlSchemeRegistration();
            return RunTestMode(*session) ? 0 : 1;
        }
    }
    int status = RunMainWindow(*session);
    return requestRejected ? 1 : status;
}

int Application::RunFlag(const std::u16string& flag)
{
    // Compared exactly, case included, in this order.
    if (flag == u"SetProxyLocalMachine") {
        // Without a machine file the user may write there is nothing to edit,
        // and the run ends silently, display or not.
        if (!SettingsKey::OpenMachineForWriting()) return 0;
        if (!openDisplay_()) return NoDisplay(LoadString(strings::kNoDisplayForProxySettings));
        EditMachineProxySettings();
        return 0;
    }
    if (flag == u"Register") {
        if (RegisterUrlScheme(ProgramPath())) return 0;
        ShowError(strings::kRegisterFailed);
        return 1;
    }
    if (flag == u"Unregister") {
        if (UnregisterUrlScheme()) return 0;
        ShowError(strings::kUnregisterFailed);
        return 1;
    }
    ShowError(strings::kUnknownFlag);
    return 1;
}

void Application::CheckUrlSchemeRegistration()
{
    RegistrationCheck check = CheckRegistration(ProgramPath());
    for (const std::string& problem : check.problems) WriteEventEntry(EntryType::Error, problem);
    // A scheme that was never registered is only written down: a first start
    // from a download is not an error the user can act on.
    if (check.entryFound && !check.problems.empty()) ShowError(strings::kRegistrationIncorrect);
}

int Application::NoDisplay(const std::string& line)
{
    std::fprintf(stderr, "Nerolin: %s\n", line.c_str());
    return 1;
}

int Application::RunMainWindow(SigningSession& session)
{
    const std::string sessionId = session.hasLaunchRequest ? session.sessionId : std::string();
    // Opened before the session is claimed: the channel serves its socket
    // on the event loop of the application made here.
    const bool display = openDisplay_();
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<SessionChannel> channel;
    if (session.hasLaunchRequest) {
        channel = std::make_unique<SessionChannel>(sessionId, [&window](const RaiseRequest& request) {
            if (window) window->BringToFront(request);
        });
        // Another process shows this session already: it comes forward and
        // this one ends without a word. Only a start with a display has
        // anything to hand over for the desktop's focus rules.
        const RaiseRequest request = display ? ActivationOfThisStart() : RaiseRequest{};
        if (channel->ClaimSession(request) == SessionChannel::Claim::RaisedOwner) return 0;
        // No folder for the socket: the window opens, as when no socket can
        // be made, only a second start cannot find it.
        if (!channel->FolderRefusal().empty())
            WriteEventEntry(EntryType::Warning, "session channel folder refused: " + channel->FolderRefusal());
        // A start just after the session's window closed: nothing is left to
        // show, and the service would only refuse the session now.
        if (const std::optional<int> ended = EndedSessionStatus(sessionId)) {
            WriteEventEntry(EntryType::Information, "Session " + sessionId + " has ended already; nothing to show");
            return *ended;
        }
    }
    // Only the start that shows the window: every start of a link clicked
    // fifty times would otherwise show the same box.
    CheckUrlSchemeRegistration();
    if (!display) {
        if (sessionId.empty()) return NoDisplay(LoadString(strings::kNoDisplayForMainWindow));
        return NoDisplay(FormatText(LoadString(strings::kNoDisplayForSessionWindow).c_str(), sessionId.c_str()));
    }
    ConfigureUpdates();
    window = std::make_unique<MainWindow>(&session);
    window->exec();
    const int status = ExitStatusOf(window->Outcome(), session.hasLaunchRequest);
    // Marked while this process still owns the session's socket: a start
    // that comes later finds either the owner or the mark.
    if (session.hasLaunchRequest && EndsSessionAtService(window->Outcome())) MarkSessionEnded(sessionId, status);
    return status;
}

}  // namespace nerolin
