#include "cli/PictureFolder.h"

#include <exception>
#include <memory>
#include <vector>

#include "job/DeviceTable.h"
#include "job/JobMessages.h"
#include "job/SlidePictures.h"
#include "pdfwriter/SavePdf.h"

namespace vellumet::cli {

namespace {

constexpr int32_t kRetimedPosition = 50;

int Compose(const ConversionSettings& settings, const std::wstring& outputPath, ConversionHost& host,
            ComposeFunction compose, bool& busy) {
    const CancelToken* cancel = host.Cancellation();
    auto cancelled = [cancel] { return cancel != nullptr && cancel->IsCancelled(); };
    auto end = [&host, &busy](int code) {
        busy = false;
        host.EndBusy();
        return code;
    };
    auto fail = [&host, &end](const std::wstring& message, int code) {
        host.ShowMessage(message);
        return end(code);
    };

    host.BeginBusy();
    busy = true;
    const PixelSize page = LookupDevice(settings.schemeName);
    const int32_t slidesPerPage = SlidesPerPageOf(settings);

    const std::vector<std::wstring> pictures = CollectSlidePictures(L"*.png", settings.sourcePath);
    if (cancelled()) {
        return end(JobResult::Cancelled);
    }
    if (pictures.empty()) {
        return fail(kConvertFailedMessage + settings.sourcePath, JobResult::NoPictures);
    }
    const int32_t position = host.ProgressPosition();
    host.SetProgressPosition(kRetimedPosition);
    host.SetProgressStep(RetimedProgressStep(position));

    std::unique_ptr<PDFWriter::PDF> document =
        compose(pictures, page.width, page.height, slidesPerPage, cancel);
    if (cancelled()) {
        return end(JobResult::Cancelled);
    }
    // A folder whose pictures all fail to decode gives a document without pages: not a result.
    if (!document || document->Pages().empty()) {
        return fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }
    document->producer.clear();
    document->Finish();
    if (document->Failed()) {
        return fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }
    if (cancelled()) {
        return end(JobResult::Cancelled);
    }
    const bool saved = PDFWriter::SavePdf(outputPath, *document);
    document.reset();
    if (!saved) {
        return fail(kSaveFailedMessage + outputPath, JobResult::SaveFailed);
    }
    return end(JobResult::Succeeded);
}

}  // namespace

int ComposePictureFolder(const ConversionSettings& settings, const std::wstring& outputPath,
                         ConversionHost& host, ComposeFunction compose) {
    if (compose == nullptr) {
        return JobResult::NoJob;
    }
    bool busy = false;
    try {
        return Compose(settings, outputPath, host, compose, busy);
    } catch (...) {
        // Allocation failures and exceptions of the libraries below.
        if (!busy) {
            return JobResult::ComposeFailed;
        }
        const CancelToken* cancel = host.Cancellation();
        const bool cancelled = cancel != nullptr && cancel->IsCancelled();
        try {
            if (!cancelled) {
                host.ShowMessage(kGenerateFailedMessage);
            }
        } catch (...) {
            // The host is released below in any case.
        }
        try {
            host.EndBusy();
        } catch (...) {
            // Nothing is left to release.
        }
        return cancelled ? JobResult::Cancelled : JobResult::ComposeFailed;
    }
}

}  // namespace vellumet::cli
