#include "session/SessionResult.h"

#include "common/StringIds.h"
#include "common/StringTable.h"

namespace nerolin {

namespace {

void TextOfServerMessage(const ServerMessage& msg, std::string& text, MessageIcon& icon)
{
    // Codes are compared exactly; anything unknown is an error.
    if (msg.code == "OK") {
        text = LoadString(strings::kResultOk);
        icon = MessageIcon::Information;
    } else if (msg.code == "CANCEL") {
        text = LoadString(strings::kResultCanceled);
        icon = MessageIcon::Exclamation;
    } else if (msg.code == "WARNING") {
        text = LoadString(strings::kResultWarning);
        icon = MessageIcon::Exclamation;
    } else if (msg.code == "ERROR") {
        text = LoadString(strings::kResultError);
        icon = MessageIcon::Error;
    } else {
        text = LoadString(strings::kResultUnknown);
        icon = MessageIcon::Error;
    }
    if (!msg.message.empty()) {
        text += "\r\n";
        text += FormatText(LoadString(strings::kResultMessage).c_str(), msg.message.c_str());
    }
}

}  // namespace

bool SessionResultText(int error, const ServerMessage& msg, std::string& text, MessageIcon& icon)
{
    icon = MessageIcon::Exclamation;
    // Any integer may arrive here; one that names no SessionError passes the
    // switch and shows nothing. No default label, so the compiler names an
    // error added to SessionError without a text here.
    switch (static_cast<SessionError>(error)) {
    case SessionError::Ok:
    case SessionError::ServiceError: TextOfServerMessage(msg, text, icon); return true;
    case SessionError::BadUrl: text = LoadString(strings::kBadUrl); return true;
    case SessionError::InvalidServiceType: text = LoadString(strings::kInvalidServiceType); return true;
    case SessionError::ServerNotAllowed: text = LoadString(strings::kInvalidServer); return true;
    case SessionError::WhitelistConnectionError:
    case SessionError::ConnectionError: text = LoadString(strings::kConnectionError); return true;
    case SessionError::InvalidStatusCode: text = LoadString(strings::kInvalidStatusCode); return true;
    case SessionError::BadResponse: text = LoadString(strings::kBadResponse); return true;
    case SessionError::QRCodeError: text = LoadString(strings::kQrCodeFailed); return true;
    }
    return false;
}

void ShowSessionResult(int error, const ServerMessage& msg)
{
    std::string text;
    MessageIcon icon = MessageIcon::Exclamation;
    if (SessionResultText(error, msg, text, icon)) {
        Prompts().ShowMessage(text, icon);
    }
}

void ShowSessionResult(SessionError error, const ServerMessage& msg)
{
    ShowSessionResult(static_cast<int>(error), msg);
}

}  // namespace nerolin
