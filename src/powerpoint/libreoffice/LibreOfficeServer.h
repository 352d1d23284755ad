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

#include <mutex>
#include <string>

#include "powerpoint/Automation.h"
#include "powerpoint/libreoffice/OfficeOptions.h"

namespace powerpoint {

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
    // True when an office of this server failed on its own (crashed, quit, or could not be reached
    // while starting) instead of being ended, timed out or cancelled.
    bool OfficeEndedUnexpectedly() const;

private:
    LibreOfficeOptions options_;
    mutable std::mutex mutex_;
    std::wstring lastError_;
    OfficeFootprint lastFootprint_;
    bool endedUnexpectedly_ = false;
};

}  // namespace powerpoint
