#include "app/run/SessionOutcome.h"

#include "common/StringIds.h"
#include "common/StringTable.h"
#include "session/SigningSession.h"

namespace nerolin {

SessionOutcome OutcomeOfSessionError(SessionError error, const ServerMessage& message)
{
    switch (error) {
    case SessionError::Ok:
    case SessionError::ServiceError:
        if (message.code == "CANCEL") return SessionOutcome::Cancellation();
        return SessionOutcome::Failure(strings::kReasonServiceReportedError);
    case SessionError::BadUrl:
    case SessionError::InvalidServiceType:
    case SessionError::ServerNotAllowed: return SessionOutcome::Failure(strings::kReasonServiceNotAllowed);
    case SessionError::WhitelistConnectionError: return SessionOutcome::Failure(strings::kReasonNoWhitelist);
    case SessionError::ConnectionError: return SessionOutcome::Failure(strings::kReasonServiceUnreachable);
    case SessionError::InvalidStatusCode:
    case SessionError::BadResponse: return SessionOutcome::Failure(strings::kReasonServiceAnswerUnreadable);
    case SessionError::QRCodeError: break;
    }
    return SessionOutcome::Failure(strings::kReasonServiceReportedError);
}

SessionOutcome OutcomeOfVerdict(const ServerMessage& message, int signedDocuments)
{
    if (message.code != "OK" && message.code != "WARNING") return OutcomeOfSessionError(SessionError::Ok, message);
    SessionOutcome outcome = SessionOutcome::Finish(signedDocuments);
    outcome.warning = message.code == "WARNING";
    return outcome;
}

SessionOutcome OutcomeOfMobileSigning(const SigningSession& session, bool cancelled)
{
    // The state in which the service still waits for the mobile side to
    // begin: the mobile application never took the session up. A user who
    // cancelled the very first state request learnt no state at all, and
    // nothing says the session moved either.
    const std::string_view untouched = session.mode == SessionMode::SignMode ? SessionState::WaitingForSignedHashes
                                                                             : SessionState::WaitingForCertificate;
    const bool untouchedState = session.state == untouched || (cancelled && session.state.empty());
    if (session.serverMessage.code.empty() && untouchedState) return {};
    if (session.state == SessionState::Finished) {
        SessionOutcome finished = SessionOutcome::Finish(0);
        finished.onMobile = true;
        return finished;
    }
    if (!session.serverMessage.code.empty()) return OutcomeOfSessionError(SessionError::Ok, session.serverMessage);
    if (session.state == SessionState::Error) return SessionOutcome::Failure(strings::kReasonServiceReportedError);
    // Not one state arrived: the service could not be asked.
    if (session.state.empty()) return SessionOutcome::Failure(strings::kReasonStateNotFetched);
    SessionOutcome handedOver;
    handedOver.kind = SessionOutcome::Kind::HandedOver;
    return handedOver;
}

std::string StatusText(const SessionOutcome& outcome, SessionMode mode)
{
    switch (outcome.kind) {
    case SessionOutcome::Kind::Open: return {};
    case SessionOutcome::Kind::Finished: {
        std::string text;
        if (outcome.onMobile) {
            text = LoadString(strings::kStatusFinishedOnMobile);
        } else if (outcome.signedDocuments == 0) {
            text = LoadString(strings::kStatusCertificateHandedOver);
        } else if (outcome.signedDocuments == 1) {
            text = LoadString(strings::kStatusOneDocumentSigned);
        } else {
            text = FormatText(LoadString(strings::kStatusDocumentsSigned).c_str(), outcome.signedDocuments);
        }
        if (outcome.warning) text += " " + LoadString(strings::kStatusServiceWarning);
        return text;
    }
    case SessionOutcome::Kind::Canceled: return LoadString(strings::kStatusCanceled);
    case SessionOutcome::Kind::HandedOver: return LoadString(strings::kStatusHandedOver);
    case SessionOutcome::Kind::Failed: break;
    }
    const int sentence = outcome.whileOpening                         ? strings::kStatusOpeningFailed
                         : mode == SessionMode::SelectCertificateMode ? strings::kStatusSelectingFailed
                                                                      : strings::kStatusSigningFailed;
    return FormatText(LoadString(sentence).c_str(), LoadString(outcome.reasonId).c_str());
}

}  // namespace nerolin
