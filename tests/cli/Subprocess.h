#pragma once
// Runs a program as a child process and collects what it wrote, for tests of command-line tools.

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace clitest {

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

}  // namespace clitest
