#pragma once
// What the office process may reach, set up in the child between fork and exec: files it makes are
// the user's alone (umask 077), it has no network (a network namespace of its own, and TCP refused
// by Landlock), and it may write only beneath its own folders (Landlock). Each layer is used where
// the kernel allows it; the result says which ones hold.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace powerpoint {

// Which layers hold for an office, as the child reports them.
struct Confinement {
    bool ownNetwork = false;      // a network namespace of its own: no interface but a loopback that is down
    bool tcpRefused = false;      // Landlock refuses every TCP connect and bind
    bool writesConfined = false;  // Landlock refuses writes outside the writable folders
};

// Everything the child needs, made before fork (the child may only make system calls).
class ConfinementPlan {
public:
    // writable: the folders (and everything beneath them) the office may create, change or remove
    // files in. Folders that do not exist are skipped.
    explicit ConfinementPlan(const std::vector<std::filesystem::path>& writable);

    // Runs in the child after fork, before exec: async-signal-safe system calls only. Applies every
    // layer the kernel allows and returns which hold, for Decode in the parent.
    unsigned char ApplyInChild() const noexcept;

    static Confinement Decode(unsigned char bits);

private:
    int landlockAbi_ = 0;
    std::vector<std::string> writable_;
    std::string uidMap_;
    std::string gidMap_;
};

}  // namespace powerpoint
