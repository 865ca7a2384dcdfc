#pragma once

// The main window's progress bar: Qt's busy indicator while a step of
// unknown length runs, otherwise the last range and position reported, an
// empty bar for an empty range. A bar that is not busy never animates, so a
// window that waits for its user costs no processor time.

#include <QProgressBar>

namespace nerolin {

class ProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);

    void SetBusy(bool busy);
    bool IsBusy() const { return busy_; }
    // The steps of the signing run: range 0 to count, and the steps done.
    void SetSteps(int count);
    void SetPosition(int position);

protected:
    bool event(QEvent* event) override;

private:
    void Show();

    bool busy_ = false;
    int steps_ = 100;
    int position_ = 0;
};

}  // namespace nerolin
