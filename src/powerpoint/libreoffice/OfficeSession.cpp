#include "powerpoint/libreoffice/OfficeSession.h"

#include <signal.h>
#include <unistd.h>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XDesktop.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/task/ErrorCodeRequest.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/WideText.h"
#include "powerpoint/libreoffice/PresentationFile.h"

namespace powerpoint {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

// The local UNO context of this process, made once and kept for the life of the process (its
// teardown at exit would race the bridges' threads). Never cppu::bootstrap(): that attaches to
// the user's own office and cannot be timed out.
Reference<css::uno::XComponentContext> LocalContext(std::wstring& error) {
    static std::mutex mutex;
    static Reference<css::uno::XComponentContext>* context = nullptr;
    std::lock_guard lock(mutex);
    if (context == nullptr) {
        // The bridge writes to the office's pipe without MSG_NOSIGNAL: an office that dies must
        // fail the call (EPIPE), not kill this process. Left alone when someone chose a handler.
        struct sigaction current {};
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            ::signal(SIGPIPE, SIG_IGN);
        }
        ::setenv("URE_BOOTSTRAP", VELLUMET_URE_BOOTSTRAP, 1);
        try {
            context =
                new Reference<css::uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
        } catch (const css::uno::Exception& e) {
            error = L"UNO cannot be started: " + FromOUString(e.Message);
            return {};
        } catch (...) {
            error = L"UNO cannot be started.";
            return {};
        }
    }
    return *context;
}

css::beans::PropertyValue Property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

// Answers every question the office asks while loading (password, repair, filter choice) with
// "abort", and remembers what was asked. Called on a bridge thread.
class AbortingHandler : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override {
        try {
            const css::uno::Any what = request->getRequest();
            css::task::ErrorCodeRequest errorCode;
            {
                std::lock_guard lock(mutex_);
                if (asked_.empty()) {
                    asked_ = FromOUString(what.getValueTypeName());
                    if (what >>= errorCode) {
                        code_ = errorCode.ErrCode;
                    }
                }
            }
            const auto continuations = request->getContinuations();
            for (const auto& continuation : continuations) {
                Reference<css::task::XInteractionAbort> abort(continuation, UNO_QUERY);
                if (abort.is()) {
                    abort->select();
                    return;
                }
            }
        } catch (...) {
            // Nothing chosen: the office gives up on its own.
        }
    }

    // Why the load was refused, in words; empty when nothing was asked.
    std::wstring Reason() const {
        std::lock_guard lock(mutex_);
        if (asked_.empty()) {
            return {};
        }
        if (asked_.find(L"Password") != std::wstring::npos) {
            return L"it is protected by a password";
        }
        if (asked_.find(L"Filter") != std::wstring::npos) {
            return L"its format is not known";
        }
        if (asked_.find(L"Broken") != std::wstring::npos || asked_.find(L"Repair") != std::wstring::npos) {
            return L"it is damaged";
        }
        if (code_ != 0) {
            wchar_t hex[16];
            std::swprintf(hex, 16, L"%x", static_cast<unsigned>(code_));
            return L"it is damaged, encrypted or of a kind the office cannot read; office error " +
                   std::wstring(hex);
        }
        return L"the office reported " + asked_;
    }

private:
    mutable std::mutex mutex_;
    std::wstring asked_;
    sal_Int32 code_ = 0;
};

void NoteConfinement(const OfficeProcess& process, OfficeFootprint& footprint) {
    footprint.ownNetwork = process.Confined().ownNetwork;
    footprint.tcpRefused = process.Confined().tcpRefused;
    footprint.writesConfined = process.Confined().writesConfined;
}

}  // namespace

rtl::OUString ToOUString(std::wstring_view text) {
    const std::u16string units = vellumet::ToUtf16(text);
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(units.data()),
                         static_cast<sal_Int32>(units.size()));
}

std::wstring FromOUString(const rtl::OUString& text) {
    return vellumet::FromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.getStr()),
                                                   static_cast<size_t>(text.getLength())));
}

OfficeSession::OfficeSession(const LibreOfficeOptions& options)
    : options_(options),
      process_(options.officeBinary.empty() ? std::string(VELLUMET_SOFFICE_BIN) : options.officeBinary,
               options.tempRoot),
      cancel_(options.cancel) {}

OfficeSession::~OfficeSession() {
    End();
}

std::shared_ptr<OfficeSession> OfficeSession::Start(const LibreOfficeOptions& options, std::wstring& error,
                                                    OfficeFootprint& footprint) {
    std::shared_ptr<OfficeSession> session(new OfficeSession(options));
    const bool started = session->process_.Start(error);
    footprint.pid = session->process_.Pid();
    footprint.privateFolder = session->process_.PrivateFolder();
    footprint.pipeSockets = session->process_.PipeSockets();
    NoteConfinement(session->process_, footprint);
    if (!started) {
        session->End();
        return nullptr;
    }
    OfficeSession* self = session.get();
    session->watchdog_ = std::make_unique<Watchdog>(
        std::chrono::steady_clock::now() + options.startBudget,
        [self] {
            const vellumet::CancelToken* cancel = self->cancel_.load();
            return cancel != nullptr && cancel->IsCancelled();
        },
        [self] { self->process_.Kill(); }, [self] { return self->Progress(); }, options.stallBudget);
    if (!session->Connect(error)) {
        // An office that runs but cannot be reached failed on its own too, unless we stopped it.
        if (session->watchdog_->Fired() == Watchdog::Verdict::None) {
            session->ReportOwnFailure(session->process_.Poll());
        }
        session->End();
        return nullptr;
    }
    footprint.pid = session->process_.Pid();  // a restart gives a new process
    NoteConfinement(session->process_, footprint);
    return session;
}

bool OfficeSession::Connect(std::wstring& error) {
    const Reference<css::uno::XComponentContext> local = LocalContext(error);
    if (!local.is()) {
        return false;
    }
    const rtl::OUString where = rtl::OUString::createFromAscii(("pipe,name=" + process_.PipeName()).c_str());
    int restarts = 0;
    try {
        const Reference<css::connection::XConnector> connector = css::connection::Connector::create(local);
        const Reference<css::bridge::XBridgeFactory2> factory = css::bridge::BridgeFactory::create(local);
        for (;;) {
            std::wstring why;
            if (watchdog_->Fired() != Watchdog::Verdict::None) {
                error = Explain(L"");
                return false;
            }
            const int exit = process_.Poll();
            if (exit == OfficeProcess::kRestartRequest && restarts < 2) {
                // A fresh profile makes the office ask for one restart.
                ++restarts;
                process_.Reap();
                if (!process_.Start(error)) {
                    return false;
                }
                continue;
            }
            if (exit != OfficeProcess::kRunning) {
                error = L"The office stopped while starting (exit code " + std::to_wstring(exit) + L").";
                return false;
            }
            Reference<css::connection::XConnection> connection;
            try {
                connection = connector->connect(where);
            } catch (const css::connection::NoConnectException&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            const Reference<css::bridge::XBridge> bridge = factory->createBridge(
                rtl::OUString(), "urp", connection, Reference<css::bridge::XInstanceProvider>());
            bridge_.set(bridge, UNO_QUERY);
            context_.set(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY_THROW);
            serviceManager_.set(context_->getServiceManager(), UNO_QUERY_THROW);
            desktop_.set(serviceManager_->createInstanceWithContext("com.sun.star.frame.Desktop", context_),
                         UNO_QUERY_THROW);
            return true;
        }
    } catch (const css::uno::Exception& e) {
        error = L"The office cannot be reached: " + Explain(e);
    } catch (...) {
        error = L"The office cannot be reached.";
    }
    return false;
}

PageRenderer* OfficeSession::Renderer(std::wstring& error) {
    if (renderer_ && renderer_->Broken()) {
        renderer_.reset();
    }
    if (!renderer_) {
        renderer_ = std::make_unique<PageRenderer>(options_.rasteriserProgram, options_.rasterWorkers);
    }
    return renderer_->Start(error) ? renderer_.get() : nullptr;
}

void OfficeSession::CloseRendererFiles() noexcept {
    try {
        if (renderer_ && !renderer_->CloseFiles()) {
            renderer_.reset();
        }
    } catch (...) {
        renderer_.reset();
    }
}

void OfficeSession::End() noexcept {
    if (ended_) {
        return;
    }
    ended_ = true;
    renderer_.reset();
    // An office that is gone before we end it ended on its own.
    const int status = process_.Pid() > 0 ? process_.Poll() : OfficeProcess::kRunning;
    if (status != OfficeProcess::kRunning && (!watchdog_ || watchdog_->Fired() == Watchdog::Verdict::None)) {
        ReportOwnFailure(status);
    }
    if (watchdog_) {
        // A hung close or terminate is cut short too.
        watchdog_->Rearm(std::chrono::steady_clock::now() + std::chrono::seconds(20));
    }
    try {
        const bool alive = OfficeRuns();
        CloseDocuments(alive);
        if (alive && desktop_.is()) {
            try {
                Reference<css::frame::XDesktop> desktop(desktop_, UNO_QUERY);
                if (desktop.is()) {
                    desktop->terminate();
                }
            } catch (...) {
                // Terminating drops the connection, which may be reported as an error.
            }
        }
        desktop_.clear();
        serviceManager_.clear();
        context_.clear();
        if (bridge_.is()) {
            try {
                bridge_->dispose();
            } catch (...) {
            }
            bridge_.clear();
        }
    } catch (...) {
        // Fall through to the kill.
    }
    if (process_.Pid() > 0 && !process_.WaitForExit(std::chrono::seconds(10))) {
        process_.Kill();
    }
    if (watchdog_) {
        watchdog_->Stop();
    }
    process_.Reap();
    process_.RemoveTraces();
}

void OfficeSession::CloseDocuments(bool alive) noexcept {
    for (auto& document : documents_) {
        if (!alive) {
            break;
        }
        try {
            Reference<css::util::XCloseable> closeable(document, UNO_QUERY);
            if (closeable.is()) {
                closeable->close(true);
            } else {
                document->dispose();
            }
        } catch (...) {
            // A document that cannot be closed goes with the office.
        }
    }
    documents_.clear();
}

bool OfficeSession::OfficeRuns() const {
    return process_.Pid() > 0 && process_.Poll() == OfficeProcess::kRunning &&
           (!watchdog_ || watchdog_->Fired() == Watchdog::Verdict::None);
}

bool OfficeSession::Healthy() const {
    return !ended_ && OfficeRuns();
}

bool OfficeSession::Answers() noexcept {
    try {
        return context_.is() && context_->getServiceManager().is();
    } catch (...) {
        return false;
    }
}

void OfficeSession::BeginConversation(const vellumet::CancelToken* cancel, bool notesPages) {
    cancel_ = cancel;
    options_.notesPages = notesPages;
    inConversation_ = true;
    if (watchdog_) {
        watchdog_->Rearm(std::chrono::steady_clock::now() + options_.startBudget);
    }
}

void OfficeSession::EndConversation() noexcept {
    inConversation_ = false;
    if (!options_.keepOfficeWarm || !Healthy()) {
        End();
        return;
    }
    // A hung close is cut short; then the office is not kept.
    if (watchdog_) {
        watchdog_->Rearm(std::chrono::steady_clock::now() + options_.stallBudget);
    }
    CloseDocuments(true);
    if (!Answers()) {
        // The connection is lost: the office is dying, or it stopped answering. Give a dying
        // office time to be seen gone, so that its end is reported as its own.
        process_.WaitForExit(std::chrono::seconds(2));
        End();
        return;
    }
    if (!Healthy()) {
        End();
        return;
    }
    // Idle: no deadline and no cancel token until the next conversation begins.
    cancel_ = nullptr;
    if (watchdog_) {
        watchdog_->Rearm(std::chrono::steady_clock::time_point::max());
    }
}

void OfficeSession::ReportOwnFailure(int status) noexcept {
    if (ownFailureReported_ || !options_.onUnexpectedEnd) {
        return;
    }
    ownFailureReported_ = true;
    try {
        options_.onUnexpectedEnd(status);
    } catch (...) {
        // Only a report.
    }
}

void OfficeSession::ReportPdfExportStall() noexcept {
    if (!watchdog_ || watchdog_->Fired() != Watchdog::Verdict::TimedOut || !options_.onPdfExportStall) {
        return;
    }
    try {
        options_.onPdfExportStall();
    } catch (...) {
        // Only a report.
    }
}

bool OfficeSession::Usable(std::wstring& why) const {
    if (ended_) {
        why = L"The office has already ended.";
        return false;
    }
    if (watchdog_ && watchdog_->Fired() != Watchdog::Verdict::None) {
        why = Explain(L"");
        return false;
    }
    return true;
}

uint64_t OfficeSession::Progress() const {
    uint64_t progress = progress_.load(std::memory_order_relaxed);
    std::lock_guard lock(watchedMutex_);
    if (!watched_.empty()) {
        std::error_code ec;
        const uintmax_t size = std::filesystem::file_size(watched_, ec);
        progress += ec ? 0 : size;
    }
    return progress;
}

std::wstring OfficeSession::Explain(const css::uno::Exception& e) const {
    const std::wstring message = FromOUString(e.Message);
    return Explain(message.empty() ? L"The office reported an error." : L"The office reported: " + message);
}

std::wstring OfficeSession::Explain(const std::wstring& fallback) const {
    const Watchdog::Verdict verdict = watchdog_ ? watchdog_->Fired() : Watchdog::Verdict::None;
    if (verdict == Watchdog::Verdict::Cancelled) {
        return L"The export was cancelled; the office was stopped.";
    }
    if (verdict == Watchdog::Verdict::TimedOut) {
        return L"The office did not finish in time and was stopped.";
    }
    const int status = process_.Pid() > 0 ? process_.Poll() : OfficeProcess::kRunning;
    if (status > 128) {
        return L"The office ended unexpectedly (signal " + std::to_wstring(status - 128) + L").";
    }
    if (status != OfficeProcess::kRunning) {
        return L"The office ended unexpectedly (exit code " + std::to_wstring(status) + L").";
    }
    return fallback.empty() ? std::wstring(L"The office failed.") : fallback;
}

bool OfficeSession::ExportPdf(const Reference<css::lang::XComponent>& document,
                              const std::filesystem::path& file, PageRange pages, std::wstring& error) {
    if (!Usable(error)) {
        return false;
    }
    // The export is one call, as long as the deck: each page it writes is progress.
    struct Watching {
        OfficeSession& session;
        Watching(OfficeSession& s, const std::filesystem::path& file) : session(s) {
            std::lock_guard lock(session.watchedMutex_);
            session.watched_ = file;
        }
        ~Watching() {
            std::lock_guard lock(session.watchedMutex_);
            session.watched_.clear();
        }
    } watching(*this, file);
    try {
        // Every slide becomes a page, drawn as the picture export would draw it: hidden slides
        // included, form controls drawn rather than made into PDF form fields, and no structure
        // tags; the bookmarks give the slide titles. With notesPages, each slide's notes page
        // (the slide above its notes) instead of the slide.
        // A range counts hidden slides too.
        std::vector<css::beans::PropertyValue> filterData = {
            Property("ExportHiddenSlides", css::uno::Any(true)),
            Property("ExportFormFields", css::uno::Any(false)),
            Property("ExportNotesPages", css::uno::Any(options_.notesPages)),
            Property("ExportOnlyNotesPages", css::uno::Any(options_.notesPages)),
            Property("ExportBookmarks", css::uno::Any(true)),
            Property("UseTaggedPDF", css::uno::Any(false))};
        if (pages.first > 0) {
            const std::string range = std::to_string(pages.first) + "-" + std::to_string(pages.last);
            filterData.push_back(
                Property("PageRange", css::uno::Any(rtl::OUString::createFromAscii(range.c_str()))));
        }
        const css::beans::PropertyValue descriptor[] = {
            Property("FilterName", css::uno::Any(rtl::OUString("impress_pdf_Export"))),
            Property("FilterData", css::uno::Any(css::uno::Sequence<css::beans::PropertyValue>(
                                       filterData.data(), static_cast<sal_Int32>(filterData.size()))))};
        const Reference<css::frame::XStorable> storable(document, UNO_QUERY_THROW);
        storable->storeToURL(rtl::OUString::createFromAscii(FileUrl(file.string()).c_str()),
                             css::uno::Sequence<css::beans::PropertyValue>(descriptor, 2));
    } catch (const css::uno::Exception& e) {
        error = Explain(e);
        return false;
    } catch (...) {
        error = Explain(L"The office could not export the slides as PDF.");
        return false;
    }
    std::error_code ec;
    if (std::filesystem::file_size(file, ec) == 0 || ec) {
        error = Explain(L"The office's PDF export left no file.");
        return false;
    }
    return true;
}

Reference<css::lang::XComponent> OfficeSession::OpenPresentation(const std::wstring& path,
                                                                 std::wstring& error) {
    if (!Usable(error)) {
        return {};
    }
    error = PresentationFileRefusal(path);
    if (!error.empty()) {
        return {};
    }
    if (watchdog_) {
        watchdog_->Rearm(std::chrono::steady_clock::now() + options_.startBudget);
    }
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::absolute(vellumet::ToPath(path), ec);

    rtl::Reference<AbortingHandler> handler(new AbortingHandler);
    const std::wstring cannot = L"The presentation cannot be opened: " + path;
    try {
        const css::beans::PropertyValue properties[] = {
            Property("ReadOnly", css::uno::Any(true)), Property("Hidden", css::uno::Any(true)),
            Property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)),
            Property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE)),
            Property("InteractionHandler",
                     css::uno::Any(Reference<css::task::XInteractionHandler>(handler.get())))};
        const rtl::OUString url = rtl::OUString::createFromAscii(FileUrl(file.string()).c_str());
        Reference<css::lang::XComponent> document = desktop_->loadComponentFromURL(
            url, "_blank", 0, css::uno::Sequence<css::beans::PropertyValue>(properties, 5));
        if (!document.is()) {
            const std::wstring reason = handler->Reason();
            error = Explain(reason.empty() ? cannot : cannot + L" (" + reason + L")");
            return {};
        }
        documents_.push_back(document);
        Reference<css::lang::XServiceInfo> info(document, UNO_QUERY);
        if (!info.is() || !info->supportsService("com.sun.star.presentation.PresentationDocument")) {
            error = L"The file is not a presentation: " + path;
            return {};
        }
        return document;
    } catch (const css::uno::Exception& e) {
        const std::wstring reason = handler->Reason();
        error = Explain(reason.empty() ? cannot + L" (" + FromOUString(e.Message) + L")"
                                       : cannot + L" (" + reason + L")");
    } catch (...) {
        error = Explain(cannot);
    }
    return {};
}

}  // namespace powerpoint
