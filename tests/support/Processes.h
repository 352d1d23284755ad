#pragma once
// Process and command helpers shared by the test suites: which children of the test process are
// alive, and the output of a shell command.

#include <sys/types.h>

#include <string>
#include <vector>

namespace vellumet_test {

// The processes whose parent is this test process (zombies included).
std::vector<pid_t> ChildProcesses();

// True while `pid` exists and is not a zombie.
bool ProcessAlive(pid_t pid);

// The standard output of a shell command line; empty when it could not run.
std::string CommandOutput(const std::string& commandLine);

}  // namespace vellumet_test
