#include "app/CyendoDlg.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include <QDesktopServices>
#include <QMenu>
#include <QTimer>
#include <QUrl>

#include "app/CAboutDlg.h"
#include "app/CyendoProxyDlg.h"
#include "app/CyendoQRCodeDlg.h"
#include "app/DocumentIcon.h"
#include "app/DocumentLinks.h"
#include "app/ProgramIcon.h"
#include "app/QtPrompts.h"
#include "app/SessionProvider.h"
#include "app/SigningReporter.h"
#include "app/SigningThread.h"
#include "app/UiText.h"
#include "app/UpdateCalls.h"
#include "app/WindowMessages.h"
#include "BuildConfig.h"
#include "common/StringIds.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "ui_CyendoDlg.h"

namespace nerolin {

CyendoDlg::CyendoDlg(SigningSession* session, QWidget* parent, ProviderFactory providerFactory)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CyendoDlg>()),
      session(session),
      providerFactory_(std::move(providerFactory)),
      linkOpener_([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); })
{
    ui_->setupUi(this);
    setWindowTitle(UiText(strings::kMainTitle));
    setWindowIcon(ProgramIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui_->sessionIdLabel->setText(UiText(strings::kMainSessionIdLabel));
    ui_->serviceProviderLabel->setText(UiText(strings::kMainServiceProviderLabel));
    ui_->messageLabel->setText(UiText(strings::kMainMessageLabel));
    ui_->documentsLabel->setText(UiText(strings::kMainDocumentsLabel));
    ui_->autoCloseCheckBox->setText(UiText(strings::kMainAutoCloseCheckBox));
    ui_->signWithMobileButton->setText(UiText(strings::kMainSignWithMobileButton));
    ui_->startSignButton->setText(UiText(strings::kMainStartSignButton));
    ui_->cancelButton->setText(UiText(strings::kMainCancelButton));
    BuildMenu();
    SetPromptOwner(this);
    SetMainWindowCloser(this, [this] { CloseForUpdater(); });

    ui_->documentList->setHeaderLabels({UiText(strings::kDocumentNameColumn), UiText(strings::kDownloadUrlColumn)});
    ui_->documentList->setIconSize(QSize(16, 16));
    ui_->autoCloseCheckBox->setChecked(ReadUserSetting(setting::kAutomaticallyClose, 1) != 0);

    connect(ui_->signWithMobileButton, &QPushButton::clicked, this, &CyendoDlg::SignWithMobile);
    connect(ui_->startSignButton, &QPushButton::clicked, this, &CyendoDlg::StartSigning);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &CyendoDlg::reject);
    connect(ui_->documentList, &CLinkListCtrl::LinkClicked, this, &CyendoDlg::OpenLink);

    if (session->hasLaunchRequest) {
        ui_->sessionIdEdit->setText(ToQString(session->sessionId));
        ui_->sessionIdEdit->setCursorPosition(0);
        if (session->mode == SessionMode::SelectCertificateMode) {
            ApplySelectCertificateLayout();
        }
        PostWindowMessage(this, UM_START_LAUNCH);
    }
    ui_->startSignButton->setFocus();
}

CyendoDlg::~CyendoDlg()
{
    ClearMainWindowCloser(this);
    // Both threads have reported their end before the window can close; what
    // is left of them is freeing their own objects.
    if (launchThread_.joinable()) {
        launchThread_.join();
    }
    if (signingThread_.joinable()) {
        signingThread_.join();
    }
    SetPromptOwner(nullptr);
}

void CyendoDlg::BuildMenu()
{
    auto* menu = new QMenu(this);
    menu->setSeparatorsCollapsible(true);
    const auto addItem = [&](int textId, bool separatorBefore, auto action) {
        const QString text = UiText(textId);
        if (text.isEmpty()) {
            return;
        }
        if (separatorBefore) {
            menu->addSeparator();
        }
        menu->addAction(text, this, action);
    };
    if constexpr (build::kUpdater) addItem(strings::kUpdateMenuItem, true, [] { CheckForUpdatesWithUi(); });
    addItem(strings::kProxySettingsMenuItem, false, [this] { EditUserProxySettings(this); });
    addItem(strings::kSaveEventLogMenuItem, false, [] { SaveEventLog(); });
    addItem(strings::kAboutMenuItem, true, [this] {
        CAboutDlg about(this);
        about.exec();
    });
    ui_->menuButton->setText(UiText(strings::kMenuButton));
    ui_->menuButton->setMenu(menu);
}

void CyendoDlg::ApplySelectCertificateLayout()
{
    // Without documents the list goes away and the window gets lower by the
    // height it took.
    layout()->activate();
    const int distance = ui_->progressBar->y() - ui_->documentsLabel->y();
    ui_->documentsLabel->hide();
    ui_->documentList->hide();
    if (distance > 0) {
        layout()->activate();
        resize(width(), height() - distance);
    }
    ui_->signWithMobileButton->setText(UiText(strings::kSelectCertificateWithMobileButton));
    ui_->startSignButton->setText(UiText(strings::kSelectCertificateButton));
}

void CyendoDlg::BringToFront()
{
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

bool CyendoDlg::event(QEvent* event)
{
    if (event->type() == WindowMessageEvent::Type()) {
        HandleMessage(*static_cast<WindowMessageEvent*>(event));
        return true;
    }
    return QDialog::event(event);
}

void CyendoDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        ReportShownForBenchmark();
    }
}

void CyendoDlg::HandleMessage(const WindowMessageEvent& message)
{
    switch (message.message) {
    case UM_START_LAUNCH: StartLaunch(); break;
    case UM_LAUNCH_PROGRESS: OnLaunchProgress(message.wParam, message.lParam); break;
    case UM_WORKER_REPORT: OnWorkerReport(message.wParam, message.lParam); break;
    case UM_START_SIGNING: StartSigning(); break;
    default: break;
    }
}

void CyendoDlg::StartLaunch()
{
    loading = true;
    try {
        if (launchThread_.joinable()) {
            launchThread_.join();
        }
        launchThread_ = std::thread(LaunchThreadProc, LaunchThreadParam{session, &loading, this});
    } catch (const std::system_error&) {
        loading = false;
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void CyendoDlg::OnLaunchProgress(std::intptr_t wParam, std::intptr_t lParam)
{
    switch (wParam) {
    case kLaunchStepBegins: SetMarquee(true); break;
    case kLaunchStepEnded: SetMarquee(false); break;
    case kLaunchDone:
        if (lParam != 0) {
            ShowConfiguration();
        }
        break;
    default: break;
    }
}

void CyendoDlg::ShowConfiguration()
{
    if (!IsSupportedProtocolVersion(session->version)) {
        Prompts().ShowMessage(LoadString(strings::kUnsupportedProtocolVersion), MessageIcon::Error);
        return;
    }
    ui_->serviceProviderEdit->setText(ToQString(session->spName));
    ui_->serviceProviderEdit->setCursorPosition(0);
    ui_->messageEdit->setPlainText(ToQString(session->message));

    for (std::size_t i = 0; i < session->documents.size(); ++i) {
        AddDocumentRow(static_cast<int>(i));
    }
    auto* list = ui_->documentList;
    if (list->topLevelItemCount() > 0) {
        list->resizeColumnToContents(0);
        list->SizeColumnToContentsAndHeader(1);
    }
    if (!session->stateUrl.empty()) {
        ui_->signWithMobileButton->setEnabled(true);
    }
    ui_->startSignButton->setEnabled(true);
    ui_->startSignButton->setFocus();
    SaveScreenshotForTests();
    if (ReadUserSetting(setting::kStartSigningImmediately, 0) == 1) {
        PostWindowMessage(this, UM_START_SIGNING);
    }
}

void CyendoDlg::AddDocumentRow(int index)
{
    const DocumentInfo& document = session->documents[static_cast<std::size_t>(index)];
    const QString name = ToQString(document.name);
    auto* row = new QTreeWidgetItem(ui_->documentList);
    row->setText(0, name);
    row->setIcon(0, DocumentIcon(name));
    const QString url = ToQString(document.downloadUrl);
    row->setText(1, url);
    if (url.isEmpty()) {
        return;
    }
    const int rowIndex = ui_->documentList->indexOfTopLevelItem(row);
    const auto scheme = UrlScheme(document.downloadUrl);
    if (!scheme) {
        WriteEventEntry(EntryType::Warning, "Failed to parse URL: " + document.downloadUrl);
        return;
    }
    if (*scheme == "https") {
        ui_->documentList->AddLinkCell(rowIndex, 1);
    } else {
        ui_->documentList->RemoveLinkCell(rowIndex, 1);
    }
}

void CyendoDlg::StartSigning()
{
    if (signingStarted) {
        return;  // one worker per run, however the request came
    }
    ui_->signWithMobileButton->setEnabled(false);
    ui_->startSignButton->setEnabled(false);
    WriteUserSetting(setting::kAutomaticallyClose, ui_->autoCloseCheckBox->isChecked() ? 1 : 0);

    auto param = std::make_unique<SigningThreadParam>();
    param->session = session;
    param->running = &signingRunning;
    param->provider = providerFactory_ ? providerFactory_() : MakeSessionProvider();
    param->reporter = std::make_unique<CyendoSigningReporter>(this);
    param->pause = workerPause_;

    signingStarted = true;
    signingRunning = true;
    try {
        signingThread_ = std::thread(SigningThreadProc, std::move(param));
    } catch (const std::system_error&) {
        signingRunning = false;
        signingStarted = false;
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void CyendoDlg::OnWorkerReport(std::intptr_t slot, std::intptr_t argument)
{
    switch (slot) {
    case kReportStartMarquee: SetMarquee(true); break;
    case kReportStopMarquee: SetMarquee(false); break;
    case kReportSetProgressFull:
        SetRange(1);
        position_ = 1;
        SetMarquee(marquee_);
        break;
    case kReportSetProgressRange: SetRange(static_cast<int>(argument)); break;
    case kReportSetProgressStep:
        position_ = static_cast<int>(argument) + 1;
        SetMarquee(marquee_);
        break;
    case kReportFinished: EndOfSession(); break;
    default: break;
    }
}

void CyendoDlg::EndOfSession()
{
    const bool skipUpdateCheck = !build::kUpdater || ReadUserSetting(setting::kSkipUpdateCheckOnEnd, 0) != 0;
    if (ui_->autoCloseCheckBox->isChecked() && skipUpdateCheck) {
        QDialog::reject();
        return;
    }
    ui_->cancelButton->setText(UiText(strings::kCloseButton));
    if (ui_->autoCloseCheckBox->isChecked()) {
        CheckForUpdatesOnEnd(true);
    } else if (!skipUpdateCheck) {
        CheckForUpdatesOnEnd(false);
    }
}

void CyendoDlg::SignWithMobile()
{
    const bool autoClose = ui_->autoCloseCheckBox->isChecked();
    WriteUserSetting(setting::kAutomaticallyClose, autoClose ? 1 : 0);
    if (!RunMobileSigning(*session, this)) {
        return;  // untouched by the mobile side: the user may try again or sign here
    }
    ui_->signWithMobileButton->setEnabled(false);
    ui_->startSignButton->setEnabled(false);
    if (autoClose) {
        QDialog::reject();  // over: no Cancel rules and no update check
    } else {
        ui_->cancelButton->setText(UiText(strings::kCloseButton));
    }
}

void CyendoDlg::CloseForUpdater()
{
    // The updater may ask while the launch thread or the worker still uses
    // the session: the window then closes as soon as that thread is done.
    if (!loading && !signingRunning) {
        QDialog::reject();
        return;
    }
    if (findChild<QTimer*>(QStringLiteral("closeWhenIdle")) != nullptr) {
        return;
    }
    auto* timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("closeWhenIdle"));
    timer->setInterval(50);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        if (!loading && !signingRunning) {
            timer->stop();
            QDialog::reject();
        }
    });
    timer->start();
}

void CyendoDlg::reject()
{
    if (loading) {
        return;
    }
    if (!signingStarted) {
        if (session->hasLaunchRequest) {
            session->SendCancel();
        }
        QDialog::reject();
        return;
    }
    if (signingRunning) {
        session->cancelRequested = 1;
        return;
    }
    QDialog::reject();
}

void CyendoDlg::SetRange(int maximum)
{
    rangeMaximum_ = maximum;
    position_ = std::min(position_, std::max(maximum, 0));
    SetMarquee(marquee_);
}

void CyendoDlg::SetMarquee(bool on)
{
    marquee_ = on;
    auto* bar = ui_->progressBar;
    if (on) {
        bar->setRange(0, 0);  // Qt's busy indicator
        return;
    }
    // An empty range would also read as busy: show it as an empty bar.
    if (rangeMaximum_ <= 0) {
        bar->setRange(0, 1);
        bar->setValue(0);
    } else {
        bar->setRange(0, rangeMaximum_);
        bar->setValue(std::clamp(position_, 0, rangeMaximum_));
    }
}

void CyendoDlg::OpenLink(const QString& url)
{
    if (linkOpener_) {
        linkOpener_(url);
    }
}

void CyendoDlg::SaveScreenshotForTests()
{
    if constexpr (!build::kDevelopmentBuild) {
        return;
    }
    const char* path = std::getenv("NEROLIN_TEST_SCREENSHOT");
    if (path != nullptr && *path != '\0') {
        grab().save(QString::fromLocal8Bit(path));
    }
}

// A development build started with NEROLIN_TEST_REPORT_SHOWN says on standard
// output when the window is first shown and closes it, so the start-up time
// can be measured from outside.
void CyendoDlg::ReportShownForBenchmark()
{
    if constexpr (!build::kDevelopmentBuild) {
        return;
    }
    const char* report = std::getenv("NEROLIN_TEST_REPORT_SHOWN");
    if (report == nullptr || *report == '\0') {
        return;
    }
    std::fputs("nerolin: window shown\n", stdout);
    std::fflush(stdout);
    QTimer::singleShot(0, this, [this] { QDialog::reject(); });
}

}  // namespace nerolin
