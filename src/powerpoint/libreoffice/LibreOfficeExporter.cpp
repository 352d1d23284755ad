#include "powerpoint/libreoffice/LibreOfficeExporter.h"

#include <exception>

#include "powerpoint/FailureRecorder.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/LibreOfficeServer.h"
#include "powerpoint/libreoffice/OfficeVersion.h"
#include "powerpoint/libreoffice/PresentationFile.h"

namespace powerpoint {

namespace {

// A crashed office gets one fresh successor; a deck that crashes the office twice is given up.
constexpr int kAttempts = 2;

}  // namespace

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

int LibreOfficeExporter::ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
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
        LibreOfficeOptions options = options_;
        options.cancel = cancel;
        for (int attempt = 1;; ++attempt) {
            LibreOfficeServer server(options);
            FailureRecorder recorder(server);
            const int result = powerpoint::ExportSlides(flags, sourcePath, folder, exportWidth, exportHeight,
                                                        openDispId, recorder, cancel);
            if (result == kExportNoServer) {
                lastFailure_ = server.LastError();
            } else if (result != kExportDone && recorder.FirstFailure()) {
                lastFailure_ = recorder.FirstFailure()->error.empty() ? recorder.Describe()
                                                                      : recorder.FirstFailure()->error;
            }
            const bool cancelled = cancel != nullptr && cancel->IsCancelled();
            if (result == kExportDone) {
                lastFailure_.clear();
            }
            if (result == kExportDone || result == kExportCancelled || cancelled || attempt == kAttempts ||
                !server.OfficeEndedUnexpectedly()) {
                return result;
            }
        }
    } catch (const std::exception&) {
        // Allocation failures below the conversation: no pictures, which the job reports.
        lastFailure_.clear();
        return kExportCallFailed;
    }
}

}  // namespace powerpoint
