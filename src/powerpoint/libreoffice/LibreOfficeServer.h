#pragma once
// The automation server that answers the slide-export conversation with LibreOffice: each
// CreateObject(L"Powerpoint.Application") starts a private soffice.bin (own process group,
// profile, temporary folder and pipe) and returns the application object. Releasing that object's
// last reference ends the conversation: the documents are closed, the office is terminated and
// reaped, and its profile, pipe sockets and temporary folder are removed.
//
// The first office started makes SIGPIPE ignored in this process (unless a handler is set), so
// that a dead office fails the call in flight instead of killing the program.
//
// A watchdog kills the office's process group when the budget runs out or the cancel token is set;
// every call then fails instead of hanging. Two servers, or two objects of one server, never share
// an office, a profile or a pipe.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "powerpoint/Automation.h"

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

class LibreOfficeServer : public AutomationServer {
public:
    explicit LibreOfficeServer(LibreOfficeOptions options = {});

    // The application object for L"Powerpoint.Application" (one reference, owned by the caller), or
    // null for any other class name or when the office cannot be started. The office is killed if
    // the calling thread ends before the application object is released.
    AutomationObject* CreateObject(const std::wstring& progId) override;

    // Why the last CreateObject returned null.
    std::wstring LastError() const;
    // The office started by the last CreateObject.
    OfficeFootprint LastFootprint() const;

private:
    LibreOfficeOptions options_;
    mutable std::mutex mutex_;
    std::wstring lastError_;
    OfficeFootprint lastFootprint_;
};

}  // namespace powerpoint
