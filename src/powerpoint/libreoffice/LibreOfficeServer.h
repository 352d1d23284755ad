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
// With options.keepOfficeWarm, releasing the application object closes the conversation's
// documents and keeps the office for the next CreateObject, as long as it is healthy; an office that
// crashed, hung or was cancelled is ended and the next CreateObject starts a fresh one. The server's
// destructor (or EndOffice) ends the warm office. CreateObject, EndOffice, SetCancel and the
// destructor are then called from one thread, the one that uses the objects.
//
// A watchdog kills the office's process group when the budget runs out or the cancel token is set;
// every call then fails instead of hanging. Two servers never share an office, a profile or a pipe,
// nor do two conversations at once.

#include <memory>
#include <mutex>
#include <string>

#include "powerpoint/Automation.h"
#include "powerpoint/libreoffice/OfficeOptions.h"

namespace powerpoint {

class OfficeSession;

class LibreOfficeServer : public AutomationServer {
public:
    explicit LibreOfficeServer(LibreOfficeOptions options = {});
    ~LibreOfficeServer() override;

    LibreOfficeServer(const LibreOfficeServer&) = delete;
    LibreOfficeServer& operator=(const LibreOfficeServer&) = delete;

    // The cancel token of the conversations to come (may be null; must outlive them).
    void SetCancel(const vellumet::CancelToken* cancel);
    // Whether the conversations to come export notes pages (LibreOfficeOptions::notesPages).
    void SetNotesPages(bool notesPages);
    // Ends the warm office, if there is one and no conversation uses it.
    void EndOffice() noexcept;

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
    // True when the last conversation's export through the office's PDF stalled and the office was
    // stopped for it (LibreOfficeOptions::onPdfExportStall).
    bool PdfExportStalled() const;

private:
    LibreOfficeOptions options_;
    mutable std::mutex mutex_;
    std::wstring lastError_;
    OfficeFootprint lastFootprint_;
    bool endedUnexpectedly_ = false;
    bool pdfExportStalled_ = false;
    std::shared_ptr<OfficeSession> warm_;  // with keepOfficeWarm: the office kept for the next conversation
    OfficeFootprint warmFootprint_;
};

}  // namespace powerpoint
