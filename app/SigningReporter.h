#pragma once

// How the signing worker reports its progress, and the main window's
// implementation that turns each report into one posted UM_WORKER_REPORT.

#include <QObject>

namespace nerolin {

class SigningReporter {
public:
    virtual ~SigningReporter() = default;
    virtual void Finished() = 0;                   // slot 1: the worker has ended, whatever the outcome
    virtual void StartMarquee() = 0;               // slot 2: a step of unknown length begins
    virtual void StopMarquee() = 0;                // slot 3
    virtual void SetProgressFull() = 0;            // slot 4
    virtual void SetProgressRange(int count) = 0;  // slot 5: the signing step has count hashes
    virtual void SetProgressStep(int index) = 0;   // slot 6: hash index (zero-based) is signed
};

enum ReporterSlot : int {
    kReportFinished = 1,
    kReportStartMarquee = 2,
    kReportStopMarquee = 3,
    kReportSetProgressFull = 4,
    kReportSetProgressRange = 5,
    kReportSetProgressStep = 6,
};

class CyendoSigningReporter : public SigningReporter {
public:
    // window may be null: every report then does nothing.
    explicit CyendoSigningReporter(QObject* window) : window_(window) {}

    void Finished() override { Post(kReportFinished, 0); }
    void StartMarquee() override { Post(kReportStartMarquee, 0); }
    void StopMarquee() override { Post(kReportStopMarquee, 0); }
    void SetProgressFull() override { Post(kReportSetProgressFull, 0); }
    void SetProgressRange(int count) override { Post(kReportSetProgressRange, count); }
    void SetProgressStep(int index) override { Post(kReportSetProgressStep, index); }

private:
    void Post(int slot, int argument);

    QObject* window_;
};

}  // namespace nerolin
