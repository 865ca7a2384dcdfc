#include "app/ui/MainWindow.h"

#include <cstdio>
#include <cstdlib>

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QTimer>
#include <QUrl>

#include "app/run/SessionProvider.h"
#include "app/ui/AboutDialog.h"
#include "app/ui/AccentRoom.h"
#include "app/ui/AccessibleNames.h"
#include "app/ui/CancelSender.h"
#include "app/ui/DocumentIcon.h"
#include "app/ui/DocumentLinks.h"
#include "app/ui/FirstPaint.h"
#include "app/ui/LaunchWorker.h"
#include "app/ui/ProgramIcon.h"
#include "app/ui/ProgressBar.h"
#include "app/ui/ProxyDialog.h"
#include "app/ui/QrCodeDialog.h"
#include "app/ui/QtPrompts.h"
#include "app/ui/SigningWorker.h"
#include "app/ui/UiText.h"
#include "app/ui/WindowActivation.h"
#include "app/ui/WindowPlacement.h"
#include "app/updater/UpdateCalls.h"
#include "BuildConfig.h"
#include "common/StringIds.h"
#include "eventlog/EventLog.h"
#include "eventlog/EventLogExport.h"
#include "platform/Settings.h"
#include "session/SigningSession.h"
#include "ui_MainWindow.h"

namespace nerolin {

MainWindow::MainWindow(SigningSession* session, QWidget* parent, ProviderFactory providerFactory)
    : QDialog(parent),
      ui_(std::make_unique<Ui::MainWindow>()),
      session_(session),
      providerFactory_(std::move(providerFactory)),
      linkOpener_([](const QString& url) { QDesktopServices::openUrl(QUrl(url)); }),
      place_(std::make_unique<WindowPlace>())
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
    ui_->documentList->setAccessibleName(UiText(strings::kMainDocumentsLabel).remove(u'&').remove(u':'));
    ui_->documentList->setIconSize(QSize(16, 16));
    ui_->progressBar->setAccessibleName(UiText(strings::kProgressAccessibleName));
    // Three lines of the message in the font in use; more as the window grows.
    const QMargins margins = ui_->messageEdit->contentsMargins();
    ui_->messageEdit->setMinimumHeight(3 * ui_->messageEdit->fontMetrics().lineSpacing() + margins.top() +
                                       margins.bottom() + 2 * ui_->messageEdit->frameWidth() + 4);
    ui_->messageEdit->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    ui_->autoCloseCheckBox->setChecked(ReadUserSetting(setting::kAutomaticallyClose, 1) != 0);

    connect(ui_->signWithMobileButton, &QPushButton::clicked, this, &MainWindow::SignWithMobile);
    connect(ui_->startSignButton, &QPushButton::clicked, this, &MainWindow::StartSigning);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &MainWindow::reject);
    connect(ui_->documentList, &DocumentList::LinkClicked, this, &MainWindow::OpenLink);

    if (session_->hasLaunchRequest) {
        ui_->sessionIdEdit->setText(ToQString(session_->sessionId));
        ui_->sessionIdEdit->setCursorPosition(0);
        ui_->sessionIdEdit->setToolTip(ToQString(session_->sessionId));
        if (session_->mode == SessionMode::SelectCertificateMode) {
            ApplySelectCertificateLayout();
        }
        // Once the window's event loop runs.
        QMetaObject::invokeMethod(this, &MainWindow::StartLaunch, Qt::QueuedConnection);
    } else {
        ShowStatus(UiText(strings::kMainWithoutSession), IconMeaning::Information);
    }
    MakeRoomForAccents(this);
    ui_->startSignButton->setFocus();
}

MainWindow::~MainWindow()
{
    ClearMainWindowCloser(this);
    // Each worker has reported its end before the window can close; what is
    // left of its thread is freeing its own objects (the provider's handles
    // among them), which the workers wait for here.
    launch_.reset();
    signing_.reset();
    cancel_.reset();
    SetPromptOwner(nullptr);
}

void MainWindow::BuildMenu()
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
        AboutDialog about(this);
        about.exec();
    });
    ui_->menuButton->setText(UiText(strings::kMenuButton));
    ui_->menuButton->setMenu(menu);
}

void MainWindow::ApplySelectCertificateLayout()
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

void MainWindow::BringToFront(const RaiseRequest& request) { RaiseForUser(this, request); }

void MainWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        // Sent before the window is mapped: it appears in its place at once.
        place_->Apply(*this);
        ReportFirstPaintForBenchmark();
    }
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused button. Push buttons do that themselves; the
    // menu button ignores Enter, which would otherwise reach the dialog and
    // press its default button, "Start sign".
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && focusWidget() == ui_->menuButton) {
        ui_->menuButton->showMenu();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::StartLaunch()
{
    launch_ = std::make_unique<LaunchWorker>(*session_);
    connect(launch_.get(), &LaunchWorker::StepBegins, ui_->progressBar, [this] { ui_->progressBar->SetBusy(true); });
    connect(launch_.get(), &LaunchWorker::StepEnded, ui_->progressBar, [this] { ui_->progressBar->SetBusy(false); });
    connect(launch_.get(), &LaunchWorker::Finished, this, &MainWindow::LaunchFinished);
    loading_ = true;
    if (!launch_->Start()) {
        loading_ = false;
        launch_.reset();
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void MainWindow::LaunchFinished(const SessionOutcome& outcome)
{
    loading_ = false;
    if (outcome.kind != SessionOutcome::Kind::Open) {
        ShowOutcome(outcome);
    }
    if (CloseIfRequested()) {
        return;
    }
    if (outcome.kind == SessionOutcome::Kind::Open) {
        ShowConfiguration();
    }
}

void MainWindow::ShowConfiguration()
{
    if (!IsSupportedProtocolVersion(session_->version)) {
        Prompts().ShowMessage(LoadString(strings::kUnsupportedProtocolVersion), MessageIcon::Error);
        SessionOutcome unsupported = SessionOutcome::Failure(strings::kReasonUnsupportedProtocol);
        unsupported.whileOpening = true;
        ShowOutcome(unsupported);
        return;
    }
    ui_->serviceProviderEdit->setText(ToQString(session_->spName));
    SetPromptServiceProvider(ToQString(session_->spName));
    ui_->serviceProviderEdit->setCursorPosition(0);
    ui_->serviceProviderEdit->setToolTip(ToQString(session_->spName));
    ui_->messageEdit->setPlainText(ToQString(session_->message));

    for (std::size_t i = 0; i < session_->documents.size(); ++i) {
        AddDocumentRow(static_cast<int>(i));
    }
    auto* list = ui_->documentList;
    if (list->topLevelItemCount() > 0) {
        list->resizeColumnToContents(0);
        list->SizeColumnToContentsAndHeader(1);
    }
    if (!session_->stateUrl.empty()) {
        ui_->signWithMobileButton->setEnabled(true);
    }
    ui_->startSignButton->setEnabled(true);
    ui_->startSignButton->setFocus();
    SaveScreenshotForTests();
    if (ReadUserSetting(setting::kStartSigningImmediately, 0) == 1) {
        QMetaObject::invokeMethod(this, &MainWindow::StartSigning, Qt::QueuedConnection);
    }
}

void MainWindow::AddDocumentRow(int index)
{
    const DocumentInfo& document = session_->documents[static_cast<std::size_t>(index)];
    const QString name = ToQString(document.name);
    auto* row = new QTreeWidgetItem(ui_->documentList);
    row->setText(0, name);
    row->setIcon(0, DocumentIcon(name));
    const QString url = ToQString(document.downloadUrl);
    row->setText(1, url);
    // Long names and addresses are cut at the list's edge: the whole text
    // stays at hand.
    row->setToolTip(0, name);
    row->setToolTip(1, url);
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

void MainWindow::StartSigning()
{
    if (signingStarted_) {
        return;  // one worker per run, however the request came
    }
    ui_->signWithMobileButton->setEnabled(false);
    ui_->startSignButton->setEnabled(false);
    WriteUserSetting(setting::kAutomaticallyClose, ui_->autoCloseCheckBox->isChecked() ? 1 : 0);

    signing_ = std::make_unique<SigningWorker>(*session_, providerFactory_ ? providerFactory_() : MakeSessionProvider(),
                                               workerPause_);
    ProgressBar* bar = ui_->progressBar;
    connect(signing_.get(), &SigningWorker::StartMarquee, bar, [bar] { bar->SetBusy(true); });
    connect(signing_.get(), &SigningWorker::StopMarquee, bar, [bar] { bar->SetBusy(false); });
    connect(signing_.get(), &SigningWorker::SetProgressFull, bar, [bar] {
        bar->SetSteps(1);
        bar->SetPosition(1);
    });
    connect(signing_.get(), &SigningWorker::SetProgressRange, bar, &ProgressBar::SetSteps);
    connect(signing_.get(), &SigningWorker::SetProgressStep, bar, [bar](int index) { bar->SetPosition(index + 1); });
    connect(signing_.get(), &SigningWorker::Finished, this, &MainWindow::SigningFinished);

    signingStarted_ = true;
    signingRunning_ = true;
    if (!signing_->Start()) {
        signingRunning_ = false;
        signingStarted_ = false;
        signing_.reset();
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
    }
}

void MainWindow::SigningFinished(const SessionOutcome& outcome)
{
    signingRunning_ = false;
    ShowOutcome(outcome);
    if (CloseIfRequested()) {
        return;
    }
    EndOfSession();
}

void MainWindow::EndOfSession()
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

void MainWindow::SignWithMobile()
{
    const bool autoClose = ui_->autoCloseCheckBox->isChecked();
    WriteUserSetting(setting::kAutomaticallyClose, autoClose ? 1 : 0);
    mobileOpen_ = true;
    const SessionOutcome outcome = RunMobileSigning(*session_, this);
    mobileOpen_ = false;
    if (outcome.kind != SessionOutcome::Kind::Open) {
        ShowOutcome(outcome);
    }
    if (CloseIfRequested()) {
        return;
    }
    if (outcome.kind == SessionOutcome::Kind::Open) {
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

void MainWindow::CloseForUpdater()
{
    // The updater may ask while background work still uses the session: the
    // window then closes as soon as that work reports its end.
    if (Busy()) {
        closePending_ = true;
        return;
    }
    QDialog::reject();
}

bool MainWindow::CloseIfRequested()
{
    if (!closePending_ || Busy()) {
        return false;
    }
    QDialog::reject();
    return true;
}

void MainWindow::reject()
{
    if (loading_ || sendingCancel_) {
        return;
    }
    if (!signingStarted_) {
        if (session_->hasLaunchRequest) {
            if (outcome_.kind == SessionOutcome::Kind::Open) {
                ShowOutcome(SessionOutcome::Cancellation());
            }
            SendCancelAndClose();
            return;
        }
        QDialog::reject();
        return;
    }
    if (signingRunning_) {
        session_->cancelRequested = 1;
        return;
    }
    QDialog::reject();
}

void MainWindow::SendCancelAndClose()
{
    cancel_ = std::make_unique<CancelSender>(*session_);
    connect(cancel_.get(), &CancelSender::Finished, this, [this] {
        sendingCancel_ = false;
        ui_->progressBar->SetBusy(false);
        QDialog::reject();
    });
    sendingCancel_ = true;
    if (!cancel_->Start()) {
        // Nothing may wait for the service on this thread: without a thread
        // the service learns of the end from its own time limit.
        sendingCancel_ = false;
        cancel_.reset();
        Prompts().ShowMessage(LoadString(strings::kStartThreadFailed), MessageIcon::Error);
        QDialog::reject();
        return;
    }
    // Busy until the service has answered: nothing else may start on the session.
    ui_->signWithMobileButton->setEnabled(false);
    ui_->startSignButton->setEnabled(false);
    ui_->cancelButton->setEnabled(false);
    ui_->progressBar->SetBusy(true);
}

void MainWindow::ShowOutcome(const SessionOutcome& outcome)
{
    outcome_ = outcome;
    const QString text = ToQString(StatusText(outcome, session_->mode));
    IconMeaning meaning = IconMeaning::Information;
    if (outcome.kind == SessionOutcome::Kind::Failed) {
        meaning = IconMeaning::Error;
    } else if (outcome.kind == SessionOutcome::Kind::Canceled) {
        meaning = IconMeaning::Warning;
    } else if (outcome.kind == SessionOutcome::Kind::Finished) {
        meaning = outcome.warning ? IconMeaning::Warning : IconMeaning::Done;
    }
    ShowStatus(text, meaning);
    // The bar ends as the session did: full when it succeeded, empty when
    // it did not (not where a failed step left it).
    if (outcome.kind == SessionOutcome::Kind::Finished) {
        ui_->progressBar->SetBusy(false);
        ui_->progressBar->SetSteps(1);
        ui_->progressBar->SetPosition(1);
    } else if (outcome.kind != SessionOutcome::Kind::Open) {
        ui_->progressBar->SetBusy(false);
        ui_->progressBar->SetPosition(0);
    }
}

void MainWindow::ShowStatus(const QString& text, IconMeaning meaning)
{
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxInformation;
    switch (meaning) {
    case IconMeaning::Error: icon = QStyle::SP_MessageBoxCritical; break;
    case IconMeaning::Warning: icon = QStyle::SP_MessageBoxWarning; break;
    case IconMeaning::Done: icon = QStyle::SP_DialogApplyButton; break;
    case IconMeaning::Information: break;
    }
    NameIcon(*ui_->statusIcon, meaning);
    const int size = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    ui_->statusIcon->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(size, size));
    ui_->statusLabel->setText(text);
    ui_->statusIcon->setVisible(!text.isEmpty());
    ui_->statusLabel->setVisible(!text.isEmpty());
}

void MainWindow::OpenLink(const QString& url)
{
    if (linkOpener_) {
        linkOpener_(url);
    }
}

void MainWindow::SaveScreenshotForTests()
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
// output when the window's first frame is painted and closes it, so the
// start-up time can be measured from outside.
void MainWindow::ReportFirstPaintForBenchmark()
{
    if constexpr (!build::kDevelopmentBuild) {
        return;
    }
    const char* report = std::getenv("NEROLIN_TEST_REPORT_SHOWN");
    if (report == nullptr || *report == '\0') {
        return;
    }
    AfterFirstPaint(*this, [this] {
        std::fputs("nerolin: window painted\n", stdout);
        std::fflush(stdout);
        QDialog::reject();
    });
}

}  // namespace nerolin
