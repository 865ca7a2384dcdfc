#include "tests/support/app/SessionWindow.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QPushButton>

#include "common/Text.h"
#include "session/LaunchRequest.h"
#include "tests/support/app/DialogDriver.h"
#include "tests/support/app/WindowFixture.h"

namespace nerolin::test {
namespace {

// setenv while another thread reads the environment may hand that thread a
// list in the middle of its change. The service's values are the same for
// every window of a test program, so only its first window sets them, before
// any worker of the code under test runs.
void PointTo(const char* name, const std::string& value)
{
    const char* current = std::getenv(name);
    if (current == nullptr || value != current) setenv(name, value.c_str(), 1);
}

}  // namespace

SessionWindow::SessionWindow(const DevService& service, const std::string& requestJson, ProviderScript script)
    : service_(service),
      prompts_(std::make_shared<ScriptedPrompts>()),
      calls_(std::make_shared<std::vector<std::string>>())
{
    PointTo("SSL_CERT_FILE", service.SslCertFile());
    PointTo("NEROLIN_TEST_WHITELIST_URL", service.WhitelistUrl());
    SetUserPrompts(prompts_);

    const auto created = service.CreateSession(requestJson);
    if (!created) {
        return;
    }
    sessionId_ = created->sessionId;
    const auto json = LaunchJsonFromLink(Utf8ToWide(created->link));
    created_ = json && session_.ParseLaunchRequest(*json);
    if (!created_) {
        return;
    }
    window_ = std::make_unique<MainWindow>(
        &session_, nullptr, [script, calls = calls_] { return std::make_unique<ScriptedProvider>(script, calls); });
    window_->SetWorkerPause(std::chrono::milliseconds(20));
    window_->SetLinkOpener([](const QString&) {});
    window_->show();
}

SessionWindow::~SessionWindow()
{
    // A test that failed half-way may leave a worker waiting for hashes.
    if (window_ && window_->IsSigningRunning()) {
        session_.cancelRequested = 1;
        service_.ReleaseHashes(sessionId_);
        WaitUntilFinished();
    }
    window_.reset();
}

bool SessionWindow::WaitUntilLoaded()
{
    // The window starts its launch worker once the event loop runs, and is
    // loading until it has handled the worker's end.
    QCoreApplication::processEvents();
    const bool ended = ProcessEventsUntil([&] { return !window_->IsLoading(); });
    QCoreApplication::processEvents();
    return ended;
}

bool SessionWindow::WaitUntilFinished()
{
    auto* cancel = window_->findChild<QPushButton*>("cancelButton");
    return ProcessEventsUntil([&] { return !window_->isVisible() || Caption(cancel->text()) == "Close"; });
}

rapidjson::Document SessionWindow::Report() const
{
    rapidjson::Document report;
    const auto text = service_.SessionReport(sessionId_);
    report.Parse(text ? text->c_str() : "{}");
    return report;
}

void SessionWindow::ClickStart() { window_->findChild<QPushButton*>("startSignButton")->click(); }

void SessionWindow::ClickCancel() { window_->findChild<QPushButton*>("cancelButton")->click(); }

bool AllSignaturesVerified(const rapidjson::Document& report)
{
    if (!report.IsObject() || !report.HasMember("documents") || !report["documents"].IsArray() ||
        report["documents"].Empty()) {
        return false;
    }
    for (const auto& document : report["documents"].GetArray()) {
        if (!document.HasMember("signatureValid") || !document["signatureValid"].IsBool() ||
            !document["signatureValid"].GetBool()) {
            return false;
        }
    }
    return true;
}

}  // namespace nerolin::test
