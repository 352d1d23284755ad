#include "cli/StopSignals.h"

#include <atomic>

namespace vellumet::cli {

namespace {

// Written only by the handler, which may run on any thread; both are lock-free.
std::atomic<CancelToken*> gToken{nullptr};
std::atomic<int> gReceived{0};
std::atomic<bool> gArmed{false};

static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

extern "C" void OnBrokenPipe(int) {}

extern "C" void OnStopSignal(int signal) {
    if (!gArmed.load()) {
        // Nothing to clean up yet: end as the signal would by default.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    int none = 0;
    gReceived.compare_exchange_strong(none, signal);
    CancelToken* token = gToken.load();
    if (token != nullptr) {
        token->RequestCancel();
    }
}

}  // namespace

StopSignals::StopSignals() {
    gReceived.store(0);
    gArmed.store(false);
    gToken.store(&token_);

    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the job notices the token at its next step.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, &previousInt_);
    sigaction(SIGTERM, &action, &previousTerm_);
    sigaction(SIGHUP, &action, &previousHup_);

    // A handler that does nothing rather than SIG_IGN: programs we start get the default back.
    struct sigaction pipe {};
    pipe.sa_handler = OnBrokenPipe;
    sigemptyset(&pipe.sa_mask);
    pipe.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &pipe, &previousPipe_);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
    sigaction(SIGHUP, &previousHup_, nullptr);
    sigaction(SIGPIPE, &previousPipe_, nullptr);
    gToken.store(nullptr);
    gArmed.store(false);
}

void StopSignals::ArmCancellation() {
    gArmed.store(true);
}

int StopSignals::Received() const {
    return gReceived.load();
}

int ExitStatusForSignal(int signal) {
    return 128 + signal;
}

}  // namespace vellumet::cli
