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

#include <memory>
#include <string>
#include <vector>

#include "powerpoint/libreoffice/OfficeOptions.h"
#include "powerpoint/libreoffice/OfficeProcess.h"

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

    // False, with why, once the conversation has ended, timed out or been cancelled.
    bool Usable(std::wstring& why) const;

    // Gives the watchdog the start-up budget plus the per-slide allowance for `slides` slides,
    // counted from now.
    void AllowForSlides(int slides);

    // Opens a presentation read-only and hidden. Null, with why, when the file is missing, empty,
    // protected, damaged or not a presentation. The session closes the document at its end.
    css::uno::Reference<css::lang::XComponent> OpenPresentation(const std::wstring& path,
                                                                std::wstring& error);

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
};

// Text conversions between the system's wide texts and UNO's strings.
rtl::OUString ToOUString(std::wstring_view text);
std::wstring FromOUString(const rtl::OUString& text);

}  // namespace powerpoint
