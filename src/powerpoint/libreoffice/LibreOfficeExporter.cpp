#include "powerpoint/libreoffice/LibreOfficeExporter.h"

#include <exception>

#include "common/ExportFlags.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/FailureRecorder.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/LibreOfficeServer.h"
#include "powerpoint/libreoffice/OfficeVersion.h"
#include "powerpoint/libreoffice/PresentationFile.h"

namespace powerpoint {

namespace {

// One attempt of the conversation against `server`; `lastFailure` gets why it failed.
int Attempt(LibreOfficeServer& server, int flags, const std::wstring& sourcePath, const std::wstring& folder,
            int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
            const vellumet::CancelToken* cancel, std::wstring& lastFailure) {
    FailureRecorder recorder(server);
    const int result = powerpoint::ExportSlides(flags, sourcePath, folder, exportWidth, exportHeight,
                                                openDispId, recorder, cancel);
    if (result == kExportNoServer) {
        lastFailure = server.LastError();
    } else if (result != kExportDone && recorder.FirstFailure()) {
        lastFailure =
            recorder.FirstFailure()->error.empty() ? recorder.Describe() : recorder.FirstFailure()->error;
    } else if (result == kExportDone) {
        lastFailure.clear();
    }
    return result;
}

}  // namespace

LibreOfficeExporter::LibreOfficeExporter(LibreOfficeOptions options) : options_(std::move(options)) {}

LibreOfficeExporter::~LibreOfficeExporter() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

int LibreOfficeExporter::GetPowerPointVersion() {
    try {
        lastFailure_.clear();
        return powerpoint::GetPowerPointVersion(&lastFailure_);
    } catch (const std::exception&) {
        return kVersionUnknown;
    }
}

std::wstring LibreOfficeExporter::VersionRefusal() const {
    return kOfficeVersionRefusal;
}

std::wstring LibreOfficeExporter::LastFailure() const {
    return lastFailure_;
}

int LibreOfficeExporter::ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                                      int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                                      const vellumet::CancelToken* cancel) {
    std::lock_guard call(callMutex_);
    int result = kExportCallFailed;
    try {
        OnOfficeThread([&] {
            result = Export(flags, sourcePath, folder, exportWidth, exportHeight, openDispId, cancel);
        });
    } catch (const std::exception&) {
        // No thread for the office: no pictures, which the job reports.
        lastFailure_.clear();
        return kExportCallFailed;
    }
    return result;
}

int LibreOfficeExporter::Export(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                                int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                                const vellumet::CancelToken* cancel) {
    lastFailure_.clear();
    try {
        if (!sourcePath.empty()) {
            lastFailure_ = PresentationFileRefusal(sourcePath);
            if (!lastFailure_.empty()) {
                return kExportCallFailed;
            }
        }
        WarmServer();
        warm_->SetCancel(cancel);
        warm_->SetNotesPages((flags & ExportFlags::NotesPages) != 0);
        int result = Attempt(*warm_, flags, sourcePath, folder, exportWidth, exportHeight, openDispId, cancel,
                             lastFailure_);
        warm_->SetCancel(nullptr);
        const bool cancelled = cancel != nullptr && cancel->IsCancelled();
        if (result == kExportDone || result == kExportCancelled || cancelled ||
            !(warm_->OfficeEndedUnexpectedly() || warm_->PdfExportStalled())) {
            return result;
        }
        // The office crashed on this deck, or its PDF export stalled: a fresh office of its own,
        // which exports slide by slide (the deck may crash or hang the office's PDF export).
        LibreOfficeOptions options = options_;
        options.cancel = cancel;
        options.notesPages = (flags & ExportFlags::NotesPages) != 0;
        options.keepOfficeWarm = false;
        options.exportThroughPdf = false;
        LibreOfficeServer fresh(options);
        result = Attempt(fresh, flags, sourcePath, folder, exportWidth, exportHeight, openDispId, cancel,
                         lastFailure_);
        return result;
    } catch (const std::exception&) {
        // Allocation failures below the conversation: no pictures, which the job reports.
        lastFailure_.clear();
        return kExportCallFailed;
    }
}

bool LibreOfficeExporter::PrepareForExport(const vellumet::CancelToken* cancel) {
    std::lock_guard call(callMutex_);
    bool ready = false;
    try {
        OnOfficeThread([&] { ready = StartWarmOffice(cancel); });
    } catch (const std::exception&) {
        lastFailure_.clear();
        return false;
    }
    return ready;
}

bool LibreOfficeExporter::StartWarmOffice(const vellumet::CancelToken* cancel) {
    lastFailure_.clear();
    if (options_.warmOfficeIdleLimit.count() == 0) {
        return true;  // each export starts its own office
    }
    try {
        LibreOfficeServer& server = WarmServer();
        server.SetCancel(cancel);
        // An empty conversation: the office stays warm for the next export.
        AutomationObject* application = server.CreateObject(kApplicationProgId);
        server.SetCancel(nullptr);
        if (application == nullptr) {
            lastFailure_ = server.LastError();
            return false;
        }
        application->Release();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

LibreOfficeServer& LibreOfficeExporter::WarmServer() {
    if (!warm_) {
        LibreOfficeOptions options = options_;
        options.keepOfficeWarm = options_.warmOfficeIdleLimit.count() > 0;
        warm_ = std::make_unique<LibreOfficeServer>(options);
    }
    return *warm_;
}

void LibreOfficeExporter::OnOfficeThread(const std::function<void()>& task) {
    std::unique_lock lock(mutex_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this] { OfficeThread(); });
    }
    task_ = &task;
    wake_.notify_all();
    wake_.wait(lock, [this] { return task_ == nullptr; });
}

void LibreOfficeExporter::OfficeThread() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (task_ != nullptr) {
            const std::function<void()>* task = task_;
            lock.unlock();
            try {
                (*task)();
            } catch (...) {
                // The task reports its own failures.
            }
            lock.lock();
            task_ = nullptr;
            wake_.notify_all();
            continue;
        }
        const auto woken = [this] { return quit_ || task_ != nullptr; };
        if (warm_ && options_.warmOfficeIdleLimit.count() > 0) {
            if (!wake_.wait_for(lock, options_.warmOfficeIdleLimit, woken)) {
                // Idle for too long: the office goes, a later export starts a new one.
                lock.unlock();
                warm_->EndOffice();
                lock.lock();
            }
        } else {
            wake_.wait(lock, woken);
        }
    }
    lock.unlock();
    warm_.reset();
}

}  // namespace powerpoint
