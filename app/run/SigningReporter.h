#pragma once

// How the signing worker reports its progress. The run calls these on its
// own thread, in the order the steps happen, and Finished always last;
// whoever shows the progress passes them on to its own thread.

#include "app/run/SessionOutcome.h"

namespace nerolin {

class SigningReporter {
public:
    virtual ~SigningReporter() = default;
    virtual void Finished(const SessionOutcome& outcome) = 0;  // the worker has ended, and how
    virtual void StartMarquee() = 0;                           // a step of unknown length begins
    virtual void StopMarquee() = 0;                            // it has ended
    virtual void SetProgressFull() = 0;                        // a completed bar
    virtual void SetProgressRange(int count) = 0;              // the signing step has count hashes
    virtual void SetProgressStep(int index) = 0;               // hash index (zero-based) is signed
};

}  // namespace nerolin
