#include "powerpoint/libreoffice/OfficeConfinement.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace powerpoint {
namespace {

// The kernel's Landlock interface (stable ABI), spelled out here because the system headers of
// older distributions lack the later rights.
constexpr uint64_t kFsWriteFile = 1ULL << 1;
constexpr uint64_t kFsRemoveDir = 1ULL << 4;
constexpr uint64_t kFsRemoveFile = 1ULL << 5;
constexpr uint64_t kFsMakeChar = 1ULL << 6;
constexpr uint64_t kFsMakeDir = 1ULL << 7;
constexpr uint64_t kFsMakeReg = 1ULL << 8;
constexpr uint64_t kFsMakeSock = 1ULL << 9;
constexpr uint64_t kFsMakeFifo = 1ULL << 10;
constexpr uint64_t kFsMakeBlock = 1ULL << 11;
constexpr uint64_t kFsMakeSym = 1ULL << 12;
constexpr uint64_t kFsRefer = 1ULL << 13;       // ABI 2
constexpr uint64_t kFsTruncate = 1ULL << 14;    // ABI 3
constexpr uint64_t kNetBindTcp = 1ULL << 0;     // ABI 4
constexpr uint64_t kNetConnectTcp = 1ULL << 1;  // ABI 4
constexpr unsigned kCreateRulesetVersion = 1U << 0;
constexpr int kRulePathBeneath = 1;

struct RulesetAttr {
    uint64_t handledAccessFs;
    uint64_t handledAccessNet;
};

struct __attribute__((packed)) PathBeneathAttr {
    uint64_t allowedAccess;
    int32_t parentFd;
};

constexpr unsigned char kOwnNetwork = 1;
constexpr unsigned char kTcpRefused = 2;
constexpr unsigned char kWritesConfined = 4;

// Every right that changes the file system, as far as the kernel's ABI knows them.
uint64_t WriteRights(int abi) {
    uint64_t rights = kFsWriteFile | kFsRemoveDir | kFsRemoveFile | kFsMakeChar | kFsMakeDir | kFsMakeReg |
                      kFsMakeSock | kFsMakeFifo | kFsMakeBlock | kFsMakeSym;
    if (abi >= 2) {
        rights |= kFsRefer;
    }
    if (abi >= 3) {
        rights |= kFsTruncate;
    }
    return rights;
}

bool WriteText(const char* path, const std::string& text) noexcept {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return written;
}

}  // namespace

ConfinementPlan::ConfinementPlan(const std::vector<std::filesystem::path>& writable) {
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
    landlockAbi_ = abi > 0 ? static_cast<int>(abi) : 0;
    for (const auto& folder : writable) {
        struct stat info {};
        if (!folder.empty() && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            writable_.push_back(folder.string());
        }
    }
    // The same ids inside a user namespace: the office names its pipe after the user id.
    uidMap_ = std::to_string(::geteuid()) + " " + std::to_string(::geteuid()) + " 1\n";
    gidMap_ = std::to_string(::getegid()) + " " + std::to_string(::getegid()) + " 1\n";
}

unsigned char ConfinementPlan::ApplyInChild() const noexcept {
    unsigned char result = 0;
    ::umask(077);

    // A network namespace of its own: directly when privileged, else inside a user namespace.
    if (::unshare(CLONE_NEWNET) == 0) {
        result |= kOwnNetwork;
    } else if (::unshare(CLONE_NEWUSER) == 0) {
        const bool mapped = WriteText("/proc/self/setgroups", "deny") &&
                            WriteText("/proc/self/uid_map", uidMap_) &&
                            WriteText("/proc/self/gid_map", gidMap_);
        if (mapped && ::unshare(CLONE_NEWNET) == 0) {
            result |= kOwnNetwork;
        }
    }

    if (landlockAbi_ <= 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        return result;
    }
    const uint64_t rights = WriteRights(landlockAbi_);
    RulesetAttr attr{rights, landlockAbi_ >= 4 ? (kNetBindTcp | kNetConnectTcp) : 0};
    const size_t attrSize = landlockAbi_ >= 4 ? sizeof attr : sizeof attr.handledAccessFs;
    const int ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, attrSize, 0));
    if (ruleset < 0) {
        return result;
    }
    bool rulesAdded = true;
    for (const std::string& folder : writable_) {
        const int fd = ::open(folder.c_str(), O_PATH | O_CLOEXEC | O_DIRECTORY);
        if (fd < 0) {
            rulesAdded = false;
            continue;
        }
        PathBeneathAttr beneath{rights, fd};
        rulesAdded =
            ::syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &beneath, 0) == 0 && rulesAdded;
        ::close(fd);
    }
    // A folder the office needs but could not be allowed would break it: then no Landlock at all.
    if (rulesAdded && ::syscall(SYS_landlock_restrict_self, ruleset, 0) == 0) {
        result |= kWritesConfined;
        if (landlockAbi_ >= 4) {
            result |= kTcpRefused;
        }
    }
    ::close(ruleset);
    return result;
}

Confinement ConfinementPlan::Decode(unsigned char bits) {
    Confinement confinement;
    confinement.ownNetwork = (bits & kOwnNetwork) != 0;
    confinement.tcpRefused = (bits & kTcpRefused) != 0;
    confinement.writesConfined = (bits & kWritesConfined) != 0;
    return confinement;
}

}  // namespace powerpoint
