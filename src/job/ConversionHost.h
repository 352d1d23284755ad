#pragma once
// What the job needs from the front end that runs it: the dialog, the command line and the tests
// each implement it.
//
// Every call comes from the job's thread. BeginBusy is the job's first call and EndBusy its last;
// both are called exactly once per run (unless the job is started without its parts).

#include <cstdint>
#include <string>
#include <vector>

#include "common/CancelToken.h"

namespace vellumet {

class ConversionHost {
public:
    virtual ~ConversionHost() = default;

    // Shows progress from position 0 of 0..100 with a step of 1, advancing on a timer of the host.
    virtual void BeginBusy() = 0;
    // Stops and hides the progress and returns the host to idle.
    virtual void EndBusy() = 0;

    // Shows an error (caption kMessageCaption) and returns only once the user has dismissed it.
    // `detail` says why in the office's words, or is empty: the dialog shows it as the message's
    // detailed text, the command line as a second line.
    virtual void ShowMessage(const std::wstring& text, const std::wstring& detail) = 0;

    // Names the slide pictures that gave no page, one sentence each in slide order (LeftOutNotice,
    // ConversionJob.h). Called at most once a run, after composition, only with notices; the job
    // goes on at once: the dialog shows them as a warning once the run has ended, the command line
    // on its error stream.
    virtual void ShowLeftOut(const std::vector<std::wstring>& notices) = 0;

    // The progress position, 0..100.
    virtual int32_t ProgressPosition() = 0;
    virtual void SetProgressPosition(int32_t position) = 0;
    // The amount the host's timer adds to the position on every tick, 1..5.
    virtual void SetProgressStep(int32_t step) = 0;

    // The token the host uses to ask the job to stop, or null when it never does. It must stay
    // valid until the job has returned.
    virtual const CancelToken* Cancellation() const = 0;
};

}  // namespace vellumet
