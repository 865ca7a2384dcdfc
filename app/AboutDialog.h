#pragma once

// The About box: the program icon, "Nerolin, Version 1.0.21" (with
// "development build" for a build on the development trust configuration)
// and OK.

#include <memory>

#include <QDialog>

namespace Ui {
class CAboutDlg;
}

namespace nerolin {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent);
    ~CAboutDlg() override;

private:
    std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace nerolin
