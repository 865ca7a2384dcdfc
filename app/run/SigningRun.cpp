#include "app/run/SigningRun.h"

#include <thread>

#include "app/run/SessionOutcome.h"
#include "app/run/SigningReporter.h"
#include "common/StringIds.h"
#include "common/StringTable.h"
#include "common/UserPrompts.h"
#include "eventlog/EventLog.h"
#include "platform/Settings.h"
#include "providers/SigningProvider.h"
#include "session/QuotedText.h"
#include "session/SigningSession.h"

namespace nerolin {
namespace {

void ShowError(int id) { Prompts().ShowMessage(LoadString(id), MessageIcon::Error); }

bool CodeIsOk(const ServerMessage& message) { return message.code == "OK"; }

// A provider's refusal as the status line tells it; failed is the reason of
// a plain failure at that step.
SessionOutcome OutcomeOfProvider(SigningResult result, int failed)
{
    switch (result) {
    case SigningResult::Canceled: return SessionOutcome::Cancellation();
    case SigningResult::PinIncorrect: return SessionOutcome::Failure(strings::kReasonPinIncorrect);
    case SigningResult::PinLocked: return SessionOutcome::Failure(strings::kReasonPinLocked);
    default: return SessionOutcome::Failure(failed);
    }
}

// What the worker does between its prologue and its epilogue.
class SigningRun {
public:
    SigningRun(SigningSession& session, SigningProvider& provider, SigningReporter& reporter,
               std::chrono::milliseconds pause)
        : session_(session),
          provider_(provider),
          reporter_(reporter),
          pause_(pause)
    {
    }

    // How the run ended; Canceled until it says otherwise.
    SessionOutcome Outcome() const { return outcome_; }

    void Run()
    {
        if (session_.mode == SessionMode::SignMode) {
            if (!FindNamedCertificate()) {
                return;
            }
        } else {
            if (!SelectAndSendCertificate()) {
                return;
            }
            if (session_.mode == SessionMode::SelectCertificateMode) {
                ConcludeWith(session_.serverMessage, 0);
                return;
            }
            if (!AwaitUnsignedHashes()) {
                return;
            }
        }
        SignAndSend();
    }

private:
    void EndWithCancel() { session_.SendCancel(); }

    // The service's verdict: "OK" ends quietly after a pause, anything else is shown.
    void ConcludeWith(const ServerMessage& message, int signedDocuments)
    {
        outcome_ = OutcomeOfVerdict(message, signedDocuments);
        if (CodeIsOk(message)) {
            std::this_thread::sleep_for(pause_);
        } else {
            ShowSessionResult(SessionError::Ok, message);
        }
    }

    bool FindNamedCertificate()
    {
        const SigningResult result = provider_.FindCertificate(session_.certificate);
        if (result != SigningResult::Success) {
            session_.certificate.clear();
            outcome_ = OutcomeOfProvider(result, strings::kReasonCertificateNotFound);
            if (result == SigningResult::Failed) {
                ReportCertificateNotFound();
                ShowError(strings::kCertificateNotFound);
            }
            EndWithCancel();
            return false;
        }
        return true;
    }

    // The box alone does not tell the service's developer whether the text was
    // unreadable or the certificate is simply not the user's.
    void ReportCertificateNotFound() const
    {
        const bool pem = session_.certificate.rfind("-----BEGIN CERTIFICATE-----", 0) == 0;
        WriteEventEntry(EntryType::Error,
                        pem ? "Certificate not found: no certificate of the user equals the configuration's "
                              "\"certificate\""
                            : "Certificate not found: the configuration's \"certificate\" is not PEM text "
                              "(-----BEGIN CERTIFICATE----- ...)");
    }

    bool SelectAndSendCertificate()
    {
        reporter_.StartMarquee();
        const bool checkValidity = ReadUserSetting(setting::kCheckCertificateValidity, 1) != 0;
        const SigningResult result = provider_.SelectCertificate(checkValidity, session_.filter, session_.certificate);
        if (result != SigningResult::Success) {
            session_.certificate.clear();
        }
        reporter_.StopMarquee();
        if (result != SigningResult::Success) {
            outcome_ = OutcomeOfProvider(result, strings::kReasonNoCertificateChosen);
            if (result == SigningResult::Failed) {
                ShowError(strings::kSelectCertificateFailed);
            }
            EndWithCancel();
            return false;
        }
        reporter_.SetProgressFull();
        const SessionError error = session_.SendCertificate();
        if (error != SessionError::Ok) {
            outcome_ = OutcomeOfSessionError(error, session_.serverMessage);
            ShowSessionResult(error, session_.serverMessage);
            EndWithCancel();
            return false;
        }
        return true;
    }

    bool AwaitUnsignedHashes()
    {
        if (session_.HasAllUnsignedHashes()) {
            return true;
        }
        reporter_.StartMarquee();
        for (;;) {
            if (session_.cancelRequested.load() != 0) {
                session_.SendCancel();
                reporter_.StopMarquee();
                return false;
            }
            const SessionError error = session_.FetchUnsignedHashes();
            if (error != SessionError::Ok) {
                outcome_ = OutcomeOfSessionError(error, session_.serverMessage);
                ShowSessionResult(error, session_.serverMessage);
                reporter_.StopMarquee();
                return false;  // the service has failed the session already: no cancel message
            }
            if (session_.HasAllUnsignedHashes()) {
                reporter_.StopMarquee();
                return true;
            }
            std::this_thread::sleep_for(pause_);
        }
    }

    SigningResult SignBatch()
    {
        std::vector<HashEntry> entries;
        entries.reserve(session_.documents.size());
        for (const auto& document : session_.documents) {
            entries.push_back({document.unsignedHash, document.signedHash});
        }
        const SigningResult result = provider_.SignHashes(session_.hashAlgorithm, entries);
        if (result == SigningResult::Success) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                session_.documents[i].signedHash = std::move(entries[i].signedHash);
            }
        }
        return result;
    }

    SigningResult SignOneByOne()
    {
        int index = 0;
        for (auto& document : session_.documents) {
            if (session_.cancelRequested.load() != 0) {
                return SigningResult::Canceled;
            }
            const SigningResult result =
                provider_.SignUnsignedHash(session_.hashAlgorithm, document.unsignedHash, document.signedHash);
            if (result != SigningResult::Success) {
                return result;
            }
            reporter_.SetProgressStep(index++);
        }
        return SigningResult::Success;
    }

    void SignAndSend()
    {
        if (!session_.hashAlgorithm.empty() && FindHashAlgorithm(session_.hashAlgorithm) == nullptr) {
            // Every signature will fail; this says why where the box cannot.
            WriteEventEntry(EntryType::Error, "Unsupported hash algorithm \"" + QuotedText(session_.hashAlgorithm) +
                                                  "\": the service must send an OID text (2.16.840.1.101.3.4.2.1 "
                                                  "for SHA-256) or an empty text");
        }
        const int count = static_cast<int>(session_.documents.size());
        reporter_.SetProgressRange(count);
        provider_.BeginSigning(static_cast<std::uint32_t>(count));

        SigningResult result = SignBatch();
        if (result == SigningResult::Success) {
            reporter_.SetProgressStep(count);
        } else if (result == SigningResult::Unsupported) {
            result = SignOneByOne();
        }
        if (result != SigningResult::Success) {
            // No signature of a failed batch may reach the service.
            for (auto& document : session_.documents) {
                document.signedHash.clear();
            }
        }
        provider_.EndSigning();
        if (result != SigningResult::Success) {
            outcome_ = OutcomeOfProvider(result, strings::kReasonKeyCouldNotSign);
        }

        switch (result) {
        case SigningResult::Success: break;
        case SigningResult::PinIncorrect:
            ShowError(strings::kBadPin);
            EndWithCancel();
            return;
        case SigningResult::PinLocked:
            ShowError(strings::kPinLocked);
            EndWithCancel();
            return;
        case SigningResult::Failed:
            ShowError(strings::kSignHashesFailed);
            EndWithCancel();
            return;
        default:
            EndWithCancel();  // canceled, or a result no one shows
            return;
        }

        const SessionError error = session_.SendSignedHashes();
        if (error != SessionError::Ok) {
            outcome_ = OutcomeOfSessionError(error, session_.serverMessage);
            ShowSessionResult(error, session_.serverMessage);
            EndWithCancel();
            return;
        }
        ConcludeWith(session_.serverMessage, count);
    }

    SigningSession& session_;
    SigningProvider& provider_;
    SigningReporter& reporter_;
    const std::chrono::milliseconds pause_;
    SessionOutcome outcome_ = SessionOutcome::Cancellation();
};

}  // namespace

void RunSigning(SigningSession& session, SigningProvider& provider, SigningReporter& reporter,
                std::chrono::milliseconds pause)
{
    provider.Initialize();
    SigningRun run(session, provider, reporter, pause);
    run.Run();
    // Every use of the session comes before Finished, after which the window
    // may close and the process end.
    provider.Finalize();
    reporter.Finished(run.Outcome());
}

}  // namespace nerolin
