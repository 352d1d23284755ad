#pragma once
// One private soffice.bin: its own process group, profile, temporary folder and pipe name, and
// everything needed to end it and leave nothing behind. No UNO here.
//
// The office runs confined (see OfficeConfinement.h): umask 077, no network, writes only beneath its
// private folder and the temporary folders. Its private folder is made mode 0700 and marked with the
// owning process, so that a later office start reclaims the folder and the pipe sockets of a run
// that was killed before it could clean up (see common/StaleFolders.h).
//
// Contracts:
// - Start, Poll, WaitForExit, Reap and RemoveTraces are called from one thread (the owner's).
//   Kill may be called from any thread at any time (the watchdog does).
// - The office gets a parent-death signal tied to the thread that called Start: if that thread
//   ends first, the office is killed.
// - The destructor reaps the office (killing its group if still running) and removes its traces.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "powerpoint/libreoffice/OfficeConfinement.h"

namespace powerpoint {

// Environment variable naming a file (an absolute path) that the office's own output is appended to,
// for diagnosing a run; without it the output is dropped.
inline constexpr char kOfficeLogVariable[] = "VELLUMET_OFFICE_LOG";

// A file URL of an absolute path, every byte outside the unreserved set percent-encoded.
std::string FileUrl(const std::string& absolutePath);

class OfficeProcess {
public:
    static constexpr int kRunning = -1;
    static constexpr int kRestartRequest = 81;  // the office's exit code after a fresh profile

    // binary: the soffice.bin to run. tempRoot: where the private folder is made.
    OfficeProcess(std::string binary, std::filesystem::path tempRoot);
    ~OfficeProcess();

    OfficeProcess(const OfficeProcess&) = delete;
    OfficeProcess& operator=(const OfficeProcess&) = delete;

    // Makes the private folder (on the first call, after reclaiming the stale ones of killed runs)
    // and starts the office in a new process group. A previous office of this object must have been
    // reaped. False, with why, on failure.
    bool Start(std::wstring& error);

    // kRunning while the office runs, else its exit code (128 + signal when killed). Does not reap.
    int Poll() const;

    // Waits up to `limit` for the office to exit; true when it has.
    bool WaitForExit(std::chrono::milliseconds limit);

    // Sends SIGKILL to the office's whole process group, unless it has been reaped. Any thread.
    void Kill() noexcept;

    // Kills what is left of the process group and collects the office's exit status.
    void Reap() noexcept;

    // Removes the private folder and the office's pipe sockets. Call after Reap.
    void RemoveTraces() noexcept;

    pid_t Pid() const noexcept { return pid_; }
    const std::string& PipeName() const noexcept { return pipeName_; }
    const std::filesystem::path& PrivateFolder() const noexcept { return folder_; }
    // The pipe sockets the office makes in the system's pipe folders (they may not exist).
    std::vector<std::filesystem::path> PipeSockets() const;
    // Which confinement layers hold for the office started last.
    const Confinement& Confined() const noexcept { return confinement_; }

    // Removes the private folders (and their pipe sockets) that offices of killed runs left in
    // tempRoot (empty: $TMPDIR, or /tmp). Returns how many folders were removed.
    static int ReclaimStale(const std::filesystem::path& tempRoot);

private:
    bool Prepare(std::wstring& error);

    std::string binary_;
    std::filesystem::path tempRoot_;
    std::filesystem::path folder_;  // private: profile/ and tmp/
    std::string profileUrl_;
    std::string pipeName_;

    mutable std::mutex mutex_;  // guards pid_ and reaped_ against Kill from other threads
    pid_t pid_ = -1;
    bool reaped_ = true;
    Confinement confinement_;
};

// Kills an office when its deadline passes or when a cancel is requested. The deadline is set for
// a piece of work whose length is known (Rearm), and moved on by progress: whenever the value of
// the progress probe changes, the deadline becomes `stallLimit` from then, so an office that keeps
// making progress is never stopped and one that stops is stopped `stallLimit` later, whatever the
// length of the work. Stop is called before the office is reaped.
class Watchdog {
public:
    enum class Verdict { None, TimedOut, Cancelled };

    // check: polled every 50 ms; returns true when the work must stop (a cancel).
    // kill: called once, from the watchdog's thread, when the deadline passes or check fires.
    // progress: polled every 50 ms, before the deadline is looked at; may be empty.
    Watchdog(std::chrono::steady_clock::time_point deadline, std::function<bool()> check,
             std::function<void()> kill, std::function<uint64_t()> progress = {},
             std::chrono::milliseconds stallLimit = std::chrono::milliseconds(60000));
    ~Watchdog();

    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Rearm(std::chrono::steady_clock::time_point deadline);
    void Stop() noexcept;
    Verdict Fired() const;

private:
    void Run();

    std::function<bool()> check_;
    std::function<void()> kill_;
    std::function<uint64_t()> progress_;
    std::chrono::milliseconds stallLimit_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::steady_clock::time_point deadline_;
    bool stop_ = false;
    bool resync_ = false;  // Rearm was called since the last poll
    Verdict verdict_ = Verdict::None;
    std::thread thread_;
};

}  // namespace powerpoint
