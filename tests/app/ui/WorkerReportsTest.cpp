// The workers' reports reach the window's thread as queued signals, in the
// order the run made them, with the worker's end last.

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QObject>
#include <QThread>

#include "app/ui/LaunchWorker.h"
#include "app/ui/SigningWorker.h"
#include "common/Text.h"
#include "session/LaunchRequest.h"
#include "session/SigningSession.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/ScriptedProvider.h"
#include "tests/support/DevService.h"
#include "tests/support/ScriptedPrompts.h"

namespace nerolin::test {
namespace {

struct Recorder {
    void Add(const std::string& event)
    {
        events.push_back(event);
        onReceiversThread = onReceiversThread && QThread::currentThread() == receiver.thread();
    }
    QObject receiver;
    std::vector<std::string> events;
    bool onReceiversThread = true;
    bool ended = false;
};

TEST(WorkerReports, LaunchAndSigningReportInOrderOnTheReceiversThread)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    setenv("SSL_CERT_FILE", service.SslCertFile().c_str(), 1);
    setenv("NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl().c_str(), 1);
    auto prompts = std::make_shared<ScriptedPrompts>();
    SetUserPrompts(prompts);
    const auto created = service.CreateSession(
        R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","pendingPolls":1,"documents":[{"name":"a.pdf"},{"name":"b.pdf"}]})");
    ASSERT_TRUE(created);
    SigningSession session;
    const auto json = LaunchJsonFromLink(Utf8ToWide(created->link));
    ASSERT_TRUE(json && session.ParseLaunchRequest(*json));

    // The workers are gone (their threads joined) before the environment
    // changes back.
    {
        Recorder launch;
        LaunchWorker launchWorker(session);
        QObject::connect(&launchWorker, &LaunchWorker::StepBegins, &launch.receiver,
                         [&] { launch.Add("step begins"); });
        QObject::connect(&launchWorker, &LaunchWorker::StepEnded, &launch.receiver, [&] { launch.Add("step ended"); });
        QObject::connect(&launchWorker, &LaunchWorker::Finished, &launch.receiver, [&](const SessionOutcome& outcome) {
            launch.Add(outcome.kind == SessionOutcome::Kind::Open ? "finished, configured" : "finished");
            launch.ended = true;
        });
        ASSERT_TRUE(launchWorker.Start());
        ASSERT_TRUE(ProcessEventsUntil([&] { return launch.ended; }));
        EXPECT_EQ(launch.events, (std::vector<std::string>{"step begins", "step ended", "step begins", "step ended",
                                                           "finished, configured"}));
        EXPECT_TRUE(launch.onReceiversThread);

        Recorder signing;
        auto calls = std::make_shared<std::vector<std::string>>();
        SigningWorker signingWorker(session, std::make_unique<ScriptedProvider>(ProviderScript{}, calls),
                                    std::chrono::milliseconds(20));
        QObject::connect(&signingWorker, &SigningWorker::StartMarquee, &signing.receiver,
                         [&] { signing.Add("marquee on"); });
        QObject::connect(&signingWorker, &SigningWorker::StopMarquee, &signing.receiver,
                         [&] { signing.Add("marquee off"); });
        QObject::connect(&signingWorker, &SigningWorker::SetProgressFull, &signing.receiver,
                         [&] { signing.Add("full"); });
        QObject::connect(&signingWorker, &SigningWorker::SetProgressRange, &signing.receiver,
                         [&](int count) { signing.Add("range " + std::to_string(count)); });
        QObject::connect(&signingWorker, &SigningWorker::SetProgressStep, &signing.receiver,
                         [&](int index) { signing.Add("step " + std::to_string(index)); });
        QObject::connect(
            &signingWorker, &SigningWorker::Finished, &signing.receiver, [&](const SessionOutcome& outcome) {
                signing.Add(outcome.kind == SessionOutcome::Kind::Finished ? "finished" : "ended unfinished");
                signing.ended = true;
            });
        ASSERT_TRUE(signingWorker.Start());
        ASSERT_TRUE(ProcessEventsUntil([&] { return signing.ended; }));
        // Choosing the certificate, waiting for the hashes, then one by one.
        EXPECT_EQ(signing.events, (std::vector<std::string>{"marquee on", "marquee off", "full", "marquee on",
                                                            "marquee off", "range 2", "step 0", "step 1", "finished"}));
        EXPECT_TRUE(signing.onReceiversThread);
        EXPECT_TRUE(prompts->Messages().empty());
    }
    SetUserPrompts(nullptr);
    unsetenv("NEROLIN_TEST_WHITELIST_URL");
}

}  // namespace
}  // namespace nerolin::test
