#pragma once

// Helpers shared by the main-window tests: the user settings file of this
// test binary's home, and access to the window's controls by name.

#include <string>

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QWidget>

#include "platform/Settings.h"

namespace nerolin::test {

template <typename Widget>
Widget* Control(QWidget* window, const char* name)
{
    auto* control = window->findChild<Widget*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// A caption as the user reads it: without its mnemonic marker.
inline QString Caption(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    return text.replace(u'\x01', u'&');
}

// The main window's three buttons as "enabled/enabled/text of button 2".
inline std::string ButtonStates(QWidget* window)
{
    const auto state = [&](const char* name) {
        return std::string(Control<QAbstractButton>(window, name)->isEnabled() ? "enabled" : "disabled");
    };
    return state("signWithMobileButton") + "/" + state("startSignButton") + "/" +
           Caption(Control<QAbstractButton>(window, "cancelButton")->text()).toStdString();
}

// The main window's status line; empty while it is hidden.
inline std::string StatusLine(QWidget* window)
{
    auto* line = Control<QWidget>(window, "statusLabel");
    return line->isHidden() ? std::string() : line->property("text").toString().toStdString();
}

// Settings the window reads, reset to their defaults around each test.
class UserSettingsScope {
public:
    UserSettingsScope() { Reset(); }
    ~UserSettingsScope() { Reset(); }
    void Set(const char* name, int value) { WriteUserSetting(name, value); }

private:
    static void Reset()
    {
        WriteUserSetting(setting::kAutomaticallyClose, 1);
        WriteUserSetting(setting::kStartSigningImmediately, 0);
        WriteUserSetting(setting::kSkipUpdateCheckOnEnd, 1);
    }
};

}  // namespace nerolin::test
