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
    switch (error) {
    case 0:
    case 8: TextOfServerMessage(msg, text, icon); return true;
    case 1: text = LoadString(strings::kBadUrl); return true;
    case 2: text = LoadString(strings::kInvalidServiceType); return true;
    case 3: text = LoadString(strings::kInvalidServer); return true;
    case 4:
    case 5: text = LoadString(strings::kConnectionError); return true;
    case 6: text = LoadString(strings::kInvalidStatusCode); return true;
    case 7: text = LoadString(strings::kBadResponse); return true;
    case 9: text = LoadString(strings::kQrCodeFailed); return true;
    default: return false;
    }
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
