#pragma once

// The About box: the program icon, "Nerolin, Version " and the build's
// version (with "development build" for a build on the development trust
// configuration), the licence and the third-party notices, and OK.

#include <memory>

#include <QDialog>

namespace Ui {
class AboutDialog;
}

namespace nerolin {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent);
    ~AboutDialog() override;

private:
    std::unique_ptr<Ui::AboutDialog> ui_;
};

}  // namespace nerolin
