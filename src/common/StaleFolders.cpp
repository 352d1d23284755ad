#include "common/StaleFolders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

namespace vellumet {

namespace {

// What identifies a process beyond its id: its start time (clock ticks after boot, field 22 of
// /proc/<pid>/stat), the boot it belongs to and its process-id namespace.
struct Owner {
    long pid = -1;
    unsigned long long startTime = 0;
    std::string bootId;
    std::string pidNamespace;
};

std::string FirstLine(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string PidNamespace() {
    char target[128];
    const ssize_t length = readlink("/proc/self/ns/pid", target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<size_t>(length)) : std::string();
}

// The start time of process pid; false when there is no such process.
bool StartTime(long pid, unsigned long long& startTime) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) {
        return false;
    }
    // The command name in parentheses may hold spaces and parentheses: count after the last ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        return false;
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    for (int index = 3; index <= 22 && fields >> field; ++index) {
        if (index == 22) {
            startTime = std::stoull(field);
            return true;
        }
    }
    return false;
}

bool ReadMark(const std::filesystem::path& folder, Owner& owner) {
    std::ifstream in(folder / kOwnerMarkName);
    std::string line;
    if (!std::getline(in, line) || in.eof()) {
        return false;  // no mark, or one whose writing was cut short
    }
    std::istringstream fields(line);
    return static_cast<bool>(fields >> owner.pid >> owner.startTime >> owner.bootId >> owner.pidNamespace) &&
           owner.pid > 0;
}

bool OwnerIsGone(const Owner& owner) {
    const std::string bootId = FirstLine("/proc/sys/kernel/random/boot_id");
    if (bootId.empty()) {
        return false;
    }
    if (owner.bootId != bootId) {
        return true;  // every process of an earlier boot is gone
    }
    if (owner.pidNamespace != PidNamespace()) {
        return false;  // its processes are not visible from here
    }
    unsigned long long startTime = 0;
    return !StartTime(owner.pid, startTime) || startTime != owner.startTime;
}

}  // namespace

bool MarkFolderOwner(const std::filesystem::path& folder) {
    try {
        Owner self;
        self.pid = static_cast<long>(getpid());
        const std::string bootId = FirstLine("/proc/sys/kernel/random/boot_id");
        const std::string pidNamespace = PidNamespace();
        if (!StartTime(self.pid, self.startTime) || bootId.empty() || pidNamespace.empty()) {
            return false;
        }
        const std::string mark = std::to_string(self.pid) + " " + std::to_string(self.startTime) + " " +
                                 bootId + " " + pidNamespace + "\n";
        const std::filesystem::path file = folder / kOwnerMarkName;
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            return false;
        }
        // One write: a reader sees the whole line or no line end (and then leaves the folder alone).
        const bool written = write(fd, mark.data(), mark.size()) == static_cast<ssize_t>(mark.size());
        return (close(fd) == 0) && written;
    } catch (...) {
        return false;
    }
}

long FolderOwnerPid(const std::filesystem::path& folder) {
    try {
        Owner owner;
        return ReadMark(folder, owner) ? owner.pid : -1;
    } catch (...) {
        return -1;
    }
}

int ReclaimStaleFolders(const std::filesystem::path& root, std::string_view prefix,
                        const std::function<void(const std::filesystem::path&, long)>& beforeRemoval) {
    int removed = 0;
    try {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
            const std::filesystem::path folder = entry.path();
            const std::string name = folder.filename().string();
            struct stat info {};
            if (name.compare(0, prefix.size(), prefix) != 0 || lstat(folder.c_str(), &info) != 0 ||
                !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
                continue;
            }
            Owner owner;
            if (!ReadMark(folder, owner) || !OwnerIsGone(owner)) {
                continue;
            }
            if (beforeRemoval) {
                beforeRemoval(folder, owner.pid);
            }
            // remove_all removes links themselves, never what they point to.
            std::error_code removal;
            std::filesystem::remove_all(folder, removal);
            if (!removal) {
                ++removed;
            }
        }
    } catch (...) {
        // Reclaiming is a courtesy: a failure leaves the rest for a later run.
    }
    return removed;
}

}  // namespace vellumet
