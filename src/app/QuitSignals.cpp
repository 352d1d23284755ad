#include "app/QuitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace vellumet {

namespace {

// The write end of the live object's pipe; -1 while none lives.
volatile sig_atomic_t gWriteEnd = -1;

extern "C" void OnQuitSignal(int signal) {
    const int saved = errno;
    if (gWriteEnd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        [[maybe_unused]] const ssize_t written = ::write(gWriteEnd, &byte, 1);
    }
    errno = saved;
}

void Install(int signal, struct sigaction& previous) {
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, &previous);
}

}  // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignals::Drain);
    gWriteEnd = pipe_[1];
    Install(SIGINT, previousInt_);
    Install(SIGTERM, previousTerm_);
    Install(SIGHUP, previousHup_);
}

QuitSignals::~QuitSignals() {
    if (pipe_[1] < 0) {
        return;
    }
    ::sigaction(SIGINT, &previousInt_, nullptr);
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGHUP, &previousHup_, nullptr);
    gWriteEnd = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void QuitSignals::Drain() {
    unsigned char byte = 0;
    while (::read(pipe_[0], &byte, 1) == 1) {
        emit Received(byte);
    }
}

}  // namespace vellumet
