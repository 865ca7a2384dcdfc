// The main window's progress bar: busy, steps, and no animation once a step
// has ended, so a waiting window stays still.

#include <gtest/gtest.h>
#include <QAbstractAnimation>
#include <QCoreApplication>

#include "app/ui/ProgressBar.h"
#include "tests/support/app/DialogDriver.h"

namespace nerolin::test {
namespace {

bool Animating(const ProgressBar& bar)
{
    for (const QAbstractAnimation* animation : bar.findChildren<QAbstractAnimation*>()) {
        if (animation->state() == QAbstractAnimation::Running) return true;
    }
    return false;
}

TEST(ProgressBar, TheBusyIndicatorStopsAnimatingWhenTheStepEnds)
{
    ProgressBar bar;
    bar.resize(300, 20);
    bar.show();
    // Twice: after a step with progress, and after one that ends on an empty bar.
    for (const int position : {1, 0}) {
        bar.SetBusy(true);
        bar.repaint();
        ASSERT_TRUE(ProcessEventsUntil([&] { return Animating(bar); })) << position;
        bar.SetSteps(2);
        bar.SetPosition(position);
        bar.SetBusy(false);
        EXPECT_TRUE(ProcessEventsUntil([&] { return !Animating(bar); })) << position;
    }
}

TEST(ProgressBar, StepsShowTheirPositionAndAnEmptyRangeAnEmptyBar)
{
    ProgressBar bar;
    bar.SetSteps(3);
    bar.SetPosition(2);
    EXPECT_EQ(bar.maximum(), 3);
    EXPECT_EQ(bar.value(), 2);
    bar.SetBusy(true);
    EXPECT_EQ(bar.maximum(), 0);
    bar.SetBusy(false);  // the last steps come back
    EXPECT_EQ(bar.value(), 2);
    bar.SetSteps(0);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 1);
    EXPECT_EQ(bar.value(), 0);
}

}  // namespace
}  // namespace nerolin::test
