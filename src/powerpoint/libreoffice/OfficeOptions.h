#pragma once
// How a private office is started, and where it lived: shared by the server, its session and
// process, and the tests that check an office left nothing behind.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/CancelToken.h"

namespace powerpoint {

struct LibreOfficeOptions {
    // Polled by the watchdog; when set, the office is killed. May be null; must outlive the
    // conversation.
    const vellumet::CancelToken* cancel = nullptr;
    // Start-up and opening of the presentation.
    std::chrono::milliseconds startBudget{60000};
    // Added per slide once the slide count is known (counted from then, on top of startBudget).
    std::chrono::milliseconds slideBudget{10000};
    // The office program; empty means the installed soffice.bin.
    std::string officeBinary;
    // Where the office's private folder is made; empty means $TMPDIR, or /tmp.
    std::filesystem::path tempRoot;
    // Called at most once, from the conversation's thread, when the office failed on its own: it
    // crashed or quit, or it could not be reached while starting, rather than being ended, timed
    // out or cancelled by us. With its exit status (128 + the signal when killed; -1 while it still
    // runs). May be empty.
    std::function<void(int status)> onUnexpectedEnd;
};

// Where one office lived, for checks that it left nothing behind.
struct OfficeFootprint {
    pid_t pid = -1;
    std::filesystem::path privateFolder;
    std::vector<std::filesystem::path> pipeSockets;
    // Which confinement layers held for the office: a network namespace of its own, TCP refused and
    // writes confined to its folders (both by Landlock).
    bool ownNetwork = false;
    bool tcpRefused = false;
    bool writesConfined = false;
};

}  // namespace powerpoint
