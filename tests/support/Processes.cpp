#include "support/Processes.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace vellumet_test {

namespace {

// The fields of /proc/<pid>/stat after the command, which is in parentheses and may hold spaces
// and parentheses itself; empty when the process is gone.
std::string StatAfterCommand(const std::filesystem::path& statFile) {
    std::ifstream stat(statFile);
    std::string line;
    if (!std::getline(stat, line)) {
        return {};
    }
    const size_t close = line.rfind(')');
    return close == std::string::npos ? std::string() : line.substr(close + 1);
}

std::vector<std::string> ChildEnvironment(const ProcessOptions& options) {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const size_t equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    for (const auto& [name, value] : options.environment) {
        if (value) {
            variables[name] = *value;
        } else {
            variables.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : variables) {
        result.push_back(name + "=" + value);
    }
    return result;
}

// Reads what is available from `fd` into `text`; false once the other end is closed.
bool Drain(int fd, std::string& text) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        text.append(buffer, static_cast<size_t>(n));
        return true;
    }
    return n < 0 && errno == EINTR;
}

}  // namespace

std::vector<pid_t> ChildProcesses() {
    std::vector<pid_t> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string rest = StatAfterCommand(entry.path() / "stat");
        int parent = 0;
        if (std::sscanf(rest.c_str(), " %*c %d", &parent) == 1 && parent == ::getpid()) {
            children.push_back(static_cast<pid_t>(std::stoi(name)));
        }
    }
    return children;
}

bool ProcessAlive(pid_t pid) {
    const std::string rest = StatAfterCommand("/proc/" + std::to_string(pid) + "/stat");
    char state = 0;
    return std::sscanf(rest.c_str(), " %c", &state) == 1 && state != 'Z';
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    int outPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        return result;
    }
    int errRead = -1;
    int errWrite = -1;
    if (options.errIsTerminal) {
        if (::openpty(&errRead, &errWrite, nullptr, nullptr, nullptr) != 0) {
            return result;
        }
        ::fcntl(errRead, F_SETFD, FD_CLOEXEC);
        ::fcntl(errWrite, F_SETFD, FD_CLOEXEC);
    } else {
        int errPipe[2];
        if (::pipe2(errPipe, O_CLOEXEC) != 0) {
            return result;
        }
        errRead = errPipe[0];
        errWrite = errPipe[1];
    }

    std::vector<std::string> environment = ChildEnvironment(options);
    std::vector<char*> childArgv;
    for (const std::string& arg : argv) {
        childArgv.push_back(const_cast<char*>(arg.c_str()));
    }
    childArgv.push_back(nullptr);
    std::vector<char*> childEnv;
    for (std::string& entry : environment) {
        childEnv.push_back(entry.data());
    }
    childEnv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errWrite, STDERR_FILENO);
        if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
            ::_exit(126);
        }
        ::execve(childArgv[0], childArgv.data(), childEnv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errWrite);
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(errRead);
        return result;
    }
    result.started = true;

    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    bool outOpen = true;
    bool errOpen = true;
    bool signalled = false;
    int status = 0;
    bool reaped = false;
    while (!reaped) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errRead, POLLIN, 0}};
        pollfd* first = outOpen ? &fds[0] : &fds[1];
        const nfds_t count = (outOpen ? 1 : 0) + (errOpen ? 1 : 0);
        if (count > 0) {
            ::poll(first, count, 20);
            if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                outOpen = Drain(outPipe[0], result.out);
            }
            if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                errOpen = Drain(errRead, result.err);
            }
        } else {
            ::usleep(20000);
        }
        if (!signalled && options.signalWhen) {
            const int signal = options.signalWhen(result.out, result.err);
            if (signal != 0) {
                ::kill(pid, signal);
                signalled = true;
            }
        }
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            reaped = true;
        } else if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            result.timedOut = true;
            reaped = true;
        }
    }
    // What the child wrote just before it ended; a grandchild may still hold the pipes open.
    ::fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    while (outOpen && Drain(outPipe[0], result.out)) {
    }
    ::fcntl(errRead, F_SETFL, O_NONBLOCK);
    while (errOpen && Drain(errRead, result.err)) {
    }
    ::close(outPipe[0]);
    ::close(errRead);

    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

ProcessResult RunShell(const std::string& commandLine, const ProcessOptions& options) {
    return RunProcess({"/bin/sh", "-c", commandLine}, options);
}

bool HaveTool(const std::string& name) {
    return RunShell("command -v '" + name + "' >/dev/null 2>&1").exitCode == 0;
}

}  // namespace vellumet_test
