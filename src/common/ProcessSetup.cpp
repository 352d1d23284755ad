#include "common/ProcessSetup.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

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

void YieldToTheOffice() noexcept {
    constexpr int kSteps = 10;
    // On Linux the priority of a thread id is that thread's own.
    const auto thread = static_cast<id_t>(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, thread, current + kSteps);
    }
}

void PrepareProcess() noexcept {
    FailWritesOverTheFileSizeLimit();
}

}  // namespace vellumet
