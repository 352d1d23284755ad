#include "powerpoint/libreoffice/LibreOfficeServer.h"

#include <new>

#include "powerpoint/DispatchIds.h"
#include "powerpoint/libreoffice/Adapters.h"
#include "powerpoint/libreoffice/OfficeSession.h"

namespace powerpoint {

LibreOfficeServer::LibreOfficeServer(LibreOfficeOptions options) : options_(std::move(options)) {}

LibreOfficeServer::~LibreOfficeServer() {
    EndOffice();
}

void LibreOfficeServer::SetCancel(const vellumet::CancelToken* cancel) {
    options_.cancel = cancel;
}

void LibreOfficeServer::SetNotesPages(bool notesPages) {
    options_.notesPages = notesPages;
}

void LibreOfficeServer::EndOffice() noexcept {
    if (warm_ && !warm_->InConversation()) {
        warm_->End();
    }
    warm_.reset();
}

AutomationObject* LibreOfficeServer::CreateObject(const std::wstring& progId) {
    std::wstring error;
    OfficeFootprint footprint;
    AutomationObject* application = nullptr;
    if (progId != kApplicationProgId) {
        error = L"No automation server is registered for " + progId + L".";
    } else {
        try {
            // A warm office that died or was stopped while it waited, or that is busy with another
            // conversation, is not used; its end is no failure of the conversation to come.
            if (warm_ && (warm_->InConversation() || !warm_->Healthy())) {
                EndOffice();
            }
            {
                std::lock_guard lock(mutex_);
                endedUnexpectedly_ = false;
                pdfExportStalled_ = false;
            }
            std::shared_ptr<OfficeSession> session;
            if (warm_) {
                warm_->BeginConversation(options_.cancel, options_.notesPages);
                session = warm_;
                footprint = warmFootprint_;
            } else {
                LibreOfficeOptions options = options_;
                options.onUnexpectedEnd = [this](int) {
                    std::lock_guard lock(mutex_);
                    endedUnexpectedly_ = true;
                };
                options.onPdfExportStall = [this] {
                    std::lock_guard lock(mutex_);
                    pdfExportStalled_ = true;
                };
                session = OfficeSession::Start(options, error, footprint);
                if (session && options_.keepOfficeWarm) {
                    warm_ = session;
                    warmFootprint_ = footprint;
                }
            }
            if (session) {
                application = NewApplicationObject(std::move(session));
            }
        } catch (const std::bad_alloc&) {
            error = L"Out of memory while starting the office.";
        }
    }
    std::lock_guard lock(mutex_);
    lastError_ = application != nullptr ? std::wstring() : error;
    lastFootprint_ = footprint;
    return application;
}

std::wstring LibreOfficeServer::LastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

bool LibreOfficeServer::OfficeEndedUnexpectedly() const {
    std::lock_guard lock(mutex_);
    return endedUnexpectedly_;
}

bool LibreOfficeServer::PdfExportStalled() const {
    std::lock_guard lock(mutex_);
    return pdfExportStalled_;
}

OfficeFootprint LibreOfficeServer::LastFootprint() const {
    std::lock_guard lock(mutex_);
    return lastFootprint_;
}

}  // namespace powerpoint
