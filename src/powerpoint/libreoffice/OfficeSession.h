#pragma once
// One conversation with a private office over UNO: start and connect, open presentations, and the
// end that leaves nothing behind. Shared by every adapter of the conversation; the application
// adapter ends it when its last reference goes.
//
// Contracts:
// - Used from one thread (the conversation's); only the watchdog acts from another, and it only
//   kills the office, which makes every call in flight fail with a UNO exception.
// - Nothing here throws: UNO exceptions are caught and turned into false/null with a reason.

#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "powerpoint/libreoffice/OfficeOptions.h"
#include "powerpoint/libreoffice/OfficeProcess.h"
#include "powerpoint/libreoffice/PdfRasteriser.h"

namespace powerpoint {

class OfficeSession {
public:
    // Starts a private office and connects to it. Null, with why, when it cannot; then nothing is
    // left running. `footprint` is filled as soon as the office's folder and pipe are known.
    static std::shared_ptr<OfficeSession> Start(const LibreOfficeOptions& options, std::wstring& error,
                                                OfficeFootprint& footprint);
    ~OfficeSession();

    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Closes the documents, terminates the office, reaps it and removes its traces. Idempotent.
    void End() noexcept;

    // A session serves one conversation after another when options.keepOfficeWarm is set. A
    // conversation begins with the start or with BeginConversation, which gives the opening of its
    // presentation the start budget, makes `cancel` (may be null) the token the watchdog polls and
    // `notesPages` the conversation's Options().notesPages;
    // it ends with EndConversation, which closes its documents and ends the office unless it is to
    // be kept warm and is still healthy. Both are called from the conversation's thread.
    void BeginConversation(const vellumet::CancelToken* cancel, bool notesPages);
    void EndConversation() noexcept;
    bool InConversation() const { return inConversation_; }

    // True while the office runs and the watchdog has not stopped it.
    bool Healthy() const;

    // False, with why, once the conversation has ended, timed out or been cancelled. May also be
    // called from a thread the conversation's thread waits for before it ends the session.
    bool Usable(std::wstring& why) const;

    // The page renderer, its workers started on the first call (their parent-death signal follows
    // the calling thread, which must be the conversation's) and kept for later conversations; one
    // that failed is replaced. Null, with why, when it cannot be started. End() ends it.
    PageRenderer* Renderer(std::wstring& error);
    // After a deck: the renderer's workers close its PDF; a renderer that failed is ended.
    void CloseRendererFiles() noexcept;

    // Tells the watchdog that the conversation moved on (options.stallBudget). Any thread.
    void NoteProgress() noexcept { progress_.fetch_add(1, std::memory_order_relaxed); }

    // Opens a presentation read-only and hidden. Null, with why, when the file is missing, empty,
    // protected, damaged or not a presentation. The session closes the document at its end.
    css::uno::Reference<css::lang::XComponent> OpenPresentation(const std::wstring& path,
                                                                std::wstring& error);

    // Slides `first` to `last`, counted from 1, hidden ones included; {0, 0} for all of them.
    struct PageRange {
        int first = 0;
        int last = 0;
    };

    // Stores `document`, as it is now, as one PDF file of the slides in `pages`, hidden ones
    // included, at `file` (which must not exist); with Options().notesPages, of their notes pages
    // instead. False, with why, when the office cannot; a partial file may be left for the caller
    // to remove.
    bool ExportPdf(const css::uno::Reference<css::lang::XComponent>& document,
                   const std::filesystem::path& file, PageRange pages, std::wstring& error);

    // After the export through the PDF failed: tells options.onPdfExportStall when the watchdog
    // stopped the office for want of progress (not for a cancel, nor when the office ended).
    void ReportPdfExportStall() noexcept;

    const LibreOfficeOptions& Options() const { return options_; }

    // The office's service factory and context, for the export filter.
    css::uno::Reference<css::lang::XMultiComponentFactory> ServiceManager() const { return serviceManager_; }
    css::uno::Reference<css::uno::XComponentContext> Context() const { return context_; }

    // Why a UNO call failed: the watchdog's verdict when it fired, else the exception's message.
    std::wstring Explain(const css::uno::Exception& e) const;
    // Same, for a failure without an exception.
    std::wstring Explain(const std::wstring& fallback) const;

private:
    explicit OfficeSession(const LibreOfficeOptions& options);
    bool Connect(std::wstring& error);
    // Tells options_.onUnexpectedEnd, once, that the office failed on its own.
    void ReportOwnFailure(int status) noexcept;

    LibreOfficeOptions options_;
    OfficeProcess process_;
    std::unique_ptr<Watchdog> watchdog_;
    css::uno::Reference<css::lang::XComponent> bridge_;
    css::uno::Reference<css::uno::XComponentContext> context_;
    css::uno::Reference<css::lang::XMultiComponentFactory> serviceManager_;
    css::uno::Reference<css::frame::XComponentLoader> desktop_;
    std::vector<css::uno::Reference<css::lang::XComponent>> documents_;
    bool ended_ = false;
    bool ownFailureReported_ = false;
    bool inConversation_ = true;
    std::atomic<const vellumet::CancelToken*> cancel_;
    std::unique_ptr<PageRenderer> renderer_;
    void CloseDocuments(bool alive) noexcept;
    // The office process runs and the watchdog has not stopped it.
    bool OfficeRuns() const;
    // The office answers a call over the bridge.
    bool Answers() noexcept;

    // What the watchdog counts as progress: the calls answered and the size of the file being
    // written by a long export (guarded by watchedMutex_).
    uint64_t Progress() const;
    std::atomic<uint64_t> progress_{0};
    mutable std::mutex watchedMutex_;
    std::filesystem::path watched_;
};

// Text conversions between the system's wide texts and UNO's strings.
rtl::OUString ToOUString(std::wstring_view text);
std::wstring FromOUString(const rtl::OUString& text);

}  // namespace powerpoint
