#pragma once
// SIGINT, SIGTERM and SIGHUP as a cancellation: while a StopSignals object lives, each of them sets
// its token (the job then stops at its next step and cleans up) instead of ending the process, once
// ArmCancellation has been called. Before that, while nothing has been made that needs cleaning up
// (the arguments, the remembered settings), a stop signal ends the process at once, as by default,
// so that no blocking step can make it unstoppable.
// SIGPIPE is caught and dropped, so a closed output shows up as failed writes, not as a sudden end.

#include <csignal>

#include "common/CancelToken.h"

namespace vellumet::cli {

class StopSignals {
public:
    // Installs the handlers. At most one object may exist at a time; create it before any thread.
    StopSignals();
    // Restores the previous handlers.
    ~StopSignals();

    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // From now on a stop signal sets the token instead of ending the process. Call before the
    // first step that leaves something behind to clean up.
    void ArmCancellation();

    const CancelToken& Token() const { return token_; }
    // The first stop signal received, or 0.
    int Received() const;

private:
    CancelToken token_;
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    struct sigaction previousHup_ {};
    struct sigaction previousPipe_ {};
};

// The exit status for a run ended by `signal`: 128 + the signal number (130 for SIGINT).
int ExitStatusForSignal(int signal);

}  // namespace vellumet::cli
