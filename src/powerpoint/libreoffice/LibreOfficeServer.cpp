#include "powerpoint/libreoffice/LibreOfficeServer.h"

#include <new>

#include "powerpoint/DispatchIds.h"
#include "powerpoint/libreoffice/Adapters.h"
#include "powerpoint/libreoffice/OfficeSession.h"

namespace powerpoint {

LibreOfficeServer::LibreOfficeServer(LibreOfficeOptions options) : options_(std::move(options)) {}

AutomationObject* LibreOfficeServer::CreateObject(const std::wstring& progId) {
    std::wstring error;
    OfficeFootprint footprint;
    AutomationObject* application = nullptr;
    if (progId != kApplicationProgId) {
        error = L"No automation server is registered for " + progId + L".";
    } else {
        try {
            LibreOfficeOptions options = options_;
            options.onUnexpectedEnd = [this](int) {
                std::lock_guard lock(mutex_);
                endedUnexpectedly_ = true;
            };
            std::shared_ptr<OfficeSession> session = OfficeSession::Start(options, error, footprint);
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

OfficeFootprint LibreOfficeServer::LastFootprint() const {
    std::lock_guard lock(mutex_);
    return lastFootprint_;
}

}  // namespace powerpoint
