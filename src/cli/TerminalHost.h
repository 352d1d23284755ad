#pragma once
// The job's host on a terminal: messages go to the error stream as lines of their own (a message's
// detail on the line after it), and while the job is busy a progress bar is redrawn there on every
// tick of the progress timer when the stream is a terminal. A host may start held, for a job that
// runs while an earlier one still has the terminal: it keeps its lines and draws no bar until it
// is released.

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/CancelToken.h"
#include "job/ConversionHost.h"

namespace vellumet::cli {

class TerminalHost : public ConversionHost {
public:
    // err: where messages and the bar go; it must outlive the host. showBar: draw the bar (only
    // sensible on a terminal). label: the text in front of the bar. cancel: may be null; must
    // outlive the host. held: keep everything until Release.
    TerminalHost(std::FILE* err, bool showBar, const std::wstring& label, const CancelToken* cancel,
                 bool held = false);
    // Stops the ticker if EndBusy was never called.
    ~TerminalHost() override;

    TerminalHost(const TerminalHost&) = delete;
    TerminalHost& operator=(const TerminalHost&) = delete;

    void BeginBusy() override;
    void EndBusy() override;
    void ShowMessage(const std::wstring& text, const std::wstring& detail) override;
    // Each notice on a line of its own, at once.
    void ShowLeftOut(const std::vector<std::wstring>& notices) override;
    int32_t ProgressPosition() override;
    void SetProgressPosition(int32_t position) override;
    void SetProgressStep(int32_t step) override;
    const CancelToken* Cancellation() const override { return cancel_; }

    // Writes what the host kept while held, and from then on writes at once. Any thread.
    void Release();

private:
    void TickerLoop();
    void StopTicker();
    // All with mutex_ held.
    void Write(const std::string& text);
    void DrawBar();
    void ClearBar();

    std::FILE* err_;
    const bool showBar_;
    const std::string label_;
    const CancelToken* cancel_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread ticker_;
    bool busy_ = false;
    bool barShown_ = false;
    bool held_;
    std::string kept_;  // written while held
    int32_t position_ = 0;
    int32_t step_ = 1;
};

}  // namespace vellumet::cli
