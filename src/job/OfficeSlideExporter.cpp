#include "job/OfficeSlideExporter.h"

#include "powerpoint/SlideExport.h"
#include "powerpoint/VersionProbe.h"
#include "powerpoint/libreoffice/LibreOfficeServer.h"

namespace vellumet {

int OfficeSlideExporter::GetPowerPointVersion() {
    try {
        return powerpoint::GetPowerPointVersion();
    } catch (...) {
        return powerpoint::kVersionUnknown;
    }
}

int OfficeSlideExporter::ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                                      int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                                      const CancelToken* cancel) {
    try {
        powerpoint::LibreOfficeOptions options;
        options.cancel = cancel;
        powerpoint::LibreOfficeServer server(options);
        return powerpoint::ExportSlides(flags, sourcePath, folder, exportWidth, exportHeight, openDispId,
                                        server, cancel);
    } catch (...) {
        // Allocation failures below the conversation: no pictures, which the job reports.
        return powerpoint::kExportCallFailed;
    }
}

}  // namespace vellumet
