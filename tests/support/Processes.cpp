#include "support/Processes.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

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

std::string CommandOutput(const std::string& commandLine) {
    std::string output;
    if (FILE* pipe = ::popen(commandLine.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        ::pclose(pipe);
    }
    return output;
}

}  // namespace vellumet_test
