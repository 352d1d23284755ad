#pragma once
// The process helpers of every test suite: the one runner of child processes (a program or a shell
// command line, with what it wrote and how it ended), and which children of the test process are
// alive.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vellumet_test {

// The processes whose parent is this test process (zombies included).
std::vector<pid_t> ChildProcesses();

// True while `pid` exists and is not a zombie.
bool ProcessAlive(pid_t pid);

struct ProcessResult {
    bool started = false;
    bool timedOut = false;  // killed after the time limit
    int exitCode = -1;      // when it exited
    int signal = 0;         // when a signal ended it
    std::string out;
    std::string err;
};

struct ProcessOptions {
    // Variables to set (a value) or remove (std::nullopt) on top of this process's environment.
    std::map<std::string, std::optional<std::string>> environment;
    std::string workingDirectory;  // empty: this process's
    std::chrono::milliseconds timeout{120000};
    // Makes the child's standard error a pseudo-terminal instead of a pipe.
    bool errIsTerminal = false;
    // Polled about every 20 ms while the child runs, with what it wrote so far; returning a signal
    // number sends that signal to the child once.
    std::function<int(const std::string& out, const std::string& err)> signalWhen;
};

// Runs `argv` (argv[0] is the program's path) with standard input from /dev/null.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Runs `commandLine` with /bin/sh -c, as RunProcess does. Add " 2>&1" to the line to read the
// command's errors in `out`.
ProcessResult RunShell(const std::string& commandLine, const ProcessOptions& options = {});

// True when the program `name` is found on PATH.
bool HaveTool(const std::string& name);

}  // namespace vellumet_test
