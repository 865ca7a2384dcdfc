#include "session/SessionResult.h"

#include "common/StringTable.h"

namespace nerolin {

namespace {

// String ids of the result texts.
constexpr int kIdOperationAccomplished = 112;
constexpr int kIdOperationCanceled = 113;
constexpr int kIdOperationError = 114;
constexpr int kIdUnknownError = 115;
constexpr int kIdMessage = 116;
constexpr int kIdWarning = 145;

void TextOfServerMessage(const ServerMessage& msg, std::string& text, MessageIcon& icon) {
    // Codes are compared exactly; anything unknown is an error.
    if (msg.code == "OK") {
        text = LoadString(kIdOperationAccomplished);
        icon = MessageIcon::Information;
    } else if (msg.code == "CANCEL") {
        text = LoadString(kIdOperationCanceled);
        icon = MessageIcon::Exclamation;
    } else if (msg.code == "WARNING") {
        text = LoadString(kIdWarning);
        icon = MessageIcon::Exclamation;
    } else if (msg.code == "ERROR") {
        text = LoadString(kIdOperationError);
        icon = MessageIcon::Error;
    } else {
        text = LoadString(kIdUnknownError);
        icon = MessageIcon::Error;
    }
    if (!msg.message.empty()) {
        text += "\r\n";
        text += FormatText(LoadString(kIdMessage).c_str(), msg.message.c_str());
    }
}

}  // namespace

bool SessionResultText(int error, const ServerMessage& msg, std::string& text, MessageIcon& icon) {
    icon = MessageIcon::Exclamation;
    switch (error) {
    case 0:
    case 8:
        TextOfServerMessage(msg, text, icon);
        return true;
    case 1: text = LoadString(122); return true;  // "Bad URL!"
    case 2: text = LoadString(123); return true;  // "Invalid service type!"
    case 3: text = LoadString(124); return true;  // "Invalid server!"
    case 4:
    case 5: text = LoadString(125); return true;  // "Connection error!"
    case 6: text = LoadString(126); return true;  // "Invalid status code!"
    case 7: text = LoadString(127); return true;  // "Bad response!"
    case 9: text = LoadString(131); return true;  // "Error occurred during the QR code generation!"
    default: return false;
    }
}

void ShowSessionResult(int error, const ServerMessage& msg) {
    std::string text;
    MessageIcon icon = MessageIcon::Exclamation;
    if (SessionResultText(error, msg, text, icon)) {
        Prompts().ShowMessage(text, icon);
    }
}

void ShowSessionResult(SessionError error, const ServerMessage& msg) {
    ShowSessionResult(static_cast<int>(error), msg);
}

}  // namespace nerolin
