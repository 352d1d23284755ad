#pragma once
// SIGTERM, SIGINT and SIGHUP for the desktop program: while a QuitSignals object lives, each of them
// is turned into the Received signal on the GUI thread (through a pipe the handler writes to), so
// the dialog can stop its job, clean up and end as Close does, instead of the process dying with
// the job's temporary folder left behind.

#include <QObject>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace vellumet {

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers. At most one object may exist at a time; create it on the GUI thread.
    explicit QuitSignals(QObject* parent = nullptr);
    // Restores the previous handlers.
    ~QuitSignals() override;

    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

signals:
    // Emitted on the GUI thread once per signal received.
    void Received(int signal);

private:
    void Drain();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
    struct sigaction previousHup_ {};
};

}  // namespace vellumet
