#include "common/ProcessSetup.h"

#include <signal.h>

namespace vellumet {

namespace {

extern "C" void OnFileSizeLimit(int) {}

}  // namespace

void FailWritesOverTheFileSizeLimit() noexcept {
    struct sigaction current {};
    if (sigaction(SIGXFSZ, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
        current.sa_handler != SIG_DFL) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnFileSizeLimit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGXFSZ, &action, nullptr);
}

void PrepareProcess() noexcept {
    FailWritesOverTheFileSizeLimit();
}

}  // namespace vellumet
