#include "job/ConversionJob.h"

#include <unistd.h>
#include <exception>
#include <string>
#include <utility>

#include "common/WideText.h"
#include "job/DeviceTable.h"
#include "job/JobMessages.h"
#include "job/SlidePictures.h"
#include "job/TempFolder.h"
#include "pdfwriter/SavePdf.h"

namespace vellumet {

namespace {

constexpr int kOldestUsableVersion = 3;
constexpr int32_t kOpenDispId2000 = 2004;
constexpr int32_t kOpenDispId = 2005;
constexpr int32_t kRetimedPosition = 50;
constexpr int32_t kLargestStep = 5;

// One run of the job. Owns the temporary folder from its creation and the picture list; both are
// gone when the run is destroyed, whichever way it ended.
class JobRun {
public:
    explicit JobRun(const ConversionJob& job)
        : settings_(job.settings),
          host_(*job.host),
          exporter_(*job.exporter),
          compose_(job.compose),
          cancel_(job.host->Cancellation()) {}
    ~JobRun() { RemoveTemporaryFiles(); }

    JobRun(const JobRun&) = delete;
    JobRun& operator=(const JobRun&) = delete;

    int Run();

    // After an exception escaped Run: clean up and, unless the host was already released, report
    // the failure the way Run would have.
    int Abandon() noexcept;

private:
    bool Cancelled() const { return cancel_ != nullptr && cancel_->IsCancelled(); }

    // Deletes the pictures in list order, then the folder and anything else left in it.
    // Failures are ignored.
    void RemoveTemporaryFiles() noexcept;

    // Shows `message`, then releases the host once it has been dismissed.
    int Fail(const std::wstring& message, int code);
    // Ends a cancelled run: nothing is shown.
    int Stop();
    int End(int code);

    const ConversionSettings& settings_;
    ConversionHost& host_;
    SlideExporter& exporter_;
    ComposeFunction compose_;
    const CancelToken* cancel_;

    bool busy_ = false;
    std::wstring folder_;
    std::vector<std::wstring> pictures_;
};

void JobRun::RemoveTemporaryFiles() noexcept {
    for (const std::wstring& picture : pictures_) {
        try {
            ::unlink(ToNative(picture).c_str());
        } catch (const std::exception&) {
            // Clean-up never fails the job.
        }
    }
    pictures_.clear();
    RemoveFolderTree(folder_);
    folder_.clear();
}

int JobRun::End(int code) {
    busy_ = false;
    host_.EndBusy();
    return code;
}

int JobRun::Fail(const std::wstring& message, int code) {
    host_.ShowMessage(message);
    return End(code);
}

int JobRun::Stop() {
    RemoveTemporaryFiles();
    return End(JobResult::Cancelled);
}

int JobRun::Run() {
    host_.BeginBusy();
    busy_ = true;
    if (Cancelled()) {
        return Stop();
    }

    const int flags = ExportFlagsOf(settings_);
    const PixelSize page = LookupDevice(settings_.schemeName);
    const PixelSize exportSize = ComputeExportSize(page);
    const int32_t slidesPerPage = SlidesPerPageOf(settings_);

    const int version = exporter_.GetPowerPointVersion();
    if (Cancelled()) {
        return Stop();
    }
    if (version < kOldestUsableVersion) {
        return Fail(kVersionRefusalMessage, JobResult::NoOffice);
    }

    // The pictures go into a folder of our own, created fresh and private before the export.
    folder_ = CreatePrivateFolder(settings_.tempFolder);
    if (folder_.empty()) {
        return Fail(kConvertFailedMessage + settings_.sourcePath, JobResult::NoPictures);
    }
    if (Cancelled()) {
        return Stop();
    }
    exporter_.ExportSlides(flags, settings_.sourcePath, folder_, exportSize.width, exportSize.height,
                           OpenDispIdFor(version), cancel_);
    if (Cancelled()) {
        return Stop();
    }

    const int32_t position = host_.ProgressPosition();
    host_.SetProgressPosition(kRetimedPosition);
    host_.SetProgressStep(RetimedProgressStep(position));
    if (Cancelled()) {
        return Stop();
    }

    pictures_ = CollectSlidePictures(L"*.png", folder_);
    if (pictures_.empty()) {
        RemoveTemporaryFiles();
        return Fail(kConvertFailedMessage + settings_.sourcePath, JobResult::NoPictures);
    }
    if (Cancelled()) {
        return Stop();
    }

    std::unique_ptr<PDFWriter::PDF> document =
        compose_(pictures_, page.width, page.height, slidesPerPage, cancel_);
    RemoveTemporaryFiles();
    if (Cancelled()) {
        return Stop();
    }
    // A document without pages means no picture could be read: there is nothing to save.
    if (!document || document->Pages().empty()) {
        return Fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }

    document->producer.clear();
    document->Finish();
    if (document->Failed()) {
        // The file did not fit the document's buffer.
        document.reset();
        return Fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }

    const std::wstring outputPath = settings_.outputFolder + GetBaseName(settings_.sourcePath) + L".pdf";
    if (Cancelled()) {
        return Stop();
    }
    const bool saved = PDFWriter::SavePdf(outputPath, *document);
    document.reset();
    if (!saved) {
        return Fail(kSaveFailedMessage + outputPath, JobResult::SaveFailed);
    }
    return End(JobResult::Succeeded);
}

int JobRun::Abandon() noexcept {
    RemoveTemporaryFiles();
    if (!busy_) {
        return JobResult::ComposeFailed;
    }
    const bool cancelled = Cancelled();
    try {
        if (!cancelled) {
            host_.ShowMessage(kGenerateFailedMessage);
        }
    } catch (...) {
        // The host is released below in any case.
    }
    try {
        busy_ = false;
        host_.EndBusy();
    } catch (...) {
        // Nothing is left to release.
    }
    return cancelled ? JobResult::Cancelled : JobResult::ComposeFailed;
}

}  // namespace

int32_t OpenDispIdFor(int versionCode) {
    if (versionCode == kOldestUsableVersion) {
        return kOpenDispId2000;
    }
    return versionCode > kOldestUsableVersion ? kOpenDispId : 0;
}

int32_t RetimedProgressStep(int32_t position) {
    if (position <= 0) {
        return kLargestStep;
    }
    const int32_t step = kRetimedPosition / position;
    if (step < 1) {
        return 1;
    }
    return step > kLargestStep ? kLargestStep : step;
}

int ConversionThreadProc(const ConversionJob* job) {
    if (job == nullptr || job->host == nullptr || job->exporter == nullptr || job->compose == nullptr) {
        return JobResult::NoJob;
    }
    JobRun run(*job);
    try {
        return run.Run();
    } catch (...) {
        // Allocation failures and exceptions of the libraries below (the office bridge, Qt).
        return run.Abandon();
    }
}

}  // namespace vellumet
