#include "job/ConversionJob.h"

#include <unistd.h>
#include <exception>
#include <filesystem>
#include <iterator>
#include <string>
#include <system_error>
#include <utility>

#include "common/PngChunks.h"
#include "common/WideText.h"
#include "job/DeviceTable.h"
#include "job/JobMessages.h"
#include "job/PictureWatch.h"
#include "job/SlidePictures.h"
#include "job/TempFolder.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/SavePdf.h"
#include "slidetext/SlideTextReader.h"
#include "slidetext/TextLayer.h"

namespace vellumet {

namespace {

constexpr int kOldestUsableVersion = 3;
constexpr int32_t kOpenDispId2000 = 2004;
constexpr int32_t kOpenDispId = 2005;
constexpr int32_t kRetimedPosition = 50;
constexpr int32_t kLargestStep = 5;
constexpr wchar_t kPicturePattern[] = L"*.png";

// One run of the job. Owns the temporary folder from its creation and the picture list; both are
// gone when the run is destroyed, whichever way it ended.
class JobRun {
public:
    explicit JobRun(const ConversionJob& job)
        : settings_(job.settings),
          host_(*job.host),
          exporter_(job.exporter),
          compose_(job.compose),
          makeComposer_(job.composer),
          pictureFolder_(job.source == JobSource::PictureFolder),
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

    // Has the exporter write the slide pictures into a private folder of the job's and collects
    // them into pictures_, telling composer_ (when there is one) of each as it is written. Returns
    // a JobResult code; Succeeded to go on.
    int ExportPictures(const PixelSize& exportSize);
    // From the pictures in pictures_ to the saved file.
    int ComposeAndSave(const PixelSize& page);

    bool WantsTextLayer() const { return settings_.outline || settings_.searchable; }
    // Reads what the text layer needs while the pictures are still there: each picture's size, and
    // the slides' text from the deck's PDF beside the pictures when there is one with a page per
    // picture (else the slides are left without text).
    void ReadTextSource();
    // Adds the outline, page labels and invisible words the settings ask for to the composed
    // document. Does nothing when the pages cannot be matched to their slides.
    void AddTextLayerTo(PDFWriter::PDF& document, const PixelSize& page,
                        const std::vector<LeftOutPicture>& leftOut) const;

    // Deletes the pictures in list order, then the folder and anything else left in it.
    // Failures are ignored.
    void RemoveTemporaryFiles() noexcept;

    // Shows `message` (with `detail`, why, when known), then releases the host once it has been
    // dismissed.
    int Fail(const std::wstring& message, int code, const std::wstring& detail = {});
    // Ends a cancelled run: nothing is shown.
    int Stop();
    int End(int code);

    const ConversionSettings& settings_;
    ConversionHost& host_;
    SlideExporter* exporter_;
    ComposeFunction compose_;
    ComposerFunction makeComposer_;
    bool pictureFolder_;
    const CancelToken* cancel_;

    bool busy_ = false;
    std::wstring folder_;
    std::vector<std::wstring> pictures_;
    std::vector<PixelSize> pictureSizes_;     // only when the text layer is wanted
    std::vector<SlideText> slideText_;        // empty when the text is unknown
    std::unique_ptr<PageComposer> composer_;  // reads the pictures: ended before they are removed
};

void JobRun::RemoveTemporaryFiles() noexcept {
    composer_.reset();
    if (pictureFolder_) {
        // The user's pictures stay.
        pictures_.clear();
        return;
    }
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

int JobRun::Fail(const std::wstring& message, int code, const std::wstring& detail) {
    host_.ShowMessage(message, detail);
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

    const PixelSize page = PageSizeOf(settings_);
    if (!IsPageSizeInRange(page)) {
        return Fail(kGenerateFailedMessage, JobResult::ComposeFailed,
                    L"The page size is outside 1.." + std::to_wstring(kMaxPageSide) + L" pixels a side.");
    }
    if (!pictureFolder_) {
        if (makeComposer_ != nullptr) {
            composer_ = makeComposer_(page.width, page.height, SlidesPerPageOf(settings_), settings_.colours,
                                      cancel_);
        }
        const int exported = ExportPictures(ExportSizeOf(settings_, page));
        if (exported != JobResult::Succeeded) {
            return exported;
        }
    } else {
        const int32_t position = host_.ProgressPosition();
        host_.SetProgressPosition(kRetimedPosition);
        host_.SetProgressStep(RetimedProgressStep(position));
        pictures_ = CollectSlidePictures(kPicturePattern, settings_.sourcePath);
        if (Cancelled()) {
            return Stop();
        }
        if (pictures_.empty()) {
            return Fail(kConvertFailedMessage + settings_.sourcePath, JobResult::NoPictures);
        }
    }
    return ComposeAndSave(page);
}

int JobRun::ExportPictures(const PixelSize& exportSize) {
    const int version = exporter_->GetPowerPointVersion();
    if (Cancelled()) {
        return Stop();
    }
    if (version < kOldestUsableVersion) {
        return Fail(exporter_->VersionRefusal(), JobResult::NoOffice, exporter_->LastFailure());
    }

    // The pictures go into a folder of our own, created fresh and private before the export.
    folder_ = CreatePrivateFolder(settings_.tempFolder);
    if (folder_.empty()) {
        return Fail(kConvertFailedMessage + settings_.sourcePath, JobResult::NoPictures,
                    L"The temporary folder cannot be created: " + settings_.tempFolder);
    }
    if (Cancelled()) {
        return Stop();
    }
    {
        PictureWatch::Report written;
        if (composer_) {
            written = [this](const std::wstring& picture) { composer_->PictureWritten(picture); };
        }
        const PictureWatch watch(folder_, kPicturePattern, std::move(written));
        exporter_->ExportSlides(ExportFlagsOf(settings_), settings_.sourcePath, folder_, exportSize.width,
                                exportSize.height, OpenDispIdFor(version), cancel_);
    }
    if (Cancelled()) {
        return Stop();
    }

    const int32_t position = host_.ProgressPosition();
    host_.SetProgressPosition(kRetimedPosition);
    host_.SetProgressStep(RetimedProgressStep(position));
    if (Cancelled()) {
        return Stop();
    }

    pictures_ = CollectSlidePictures(kPicturePattern, folder_);
    if (pictures_.empty()) {
        RemoveTemporaryFiles();
        return Fail(kConvertFailedMessage + settings_.sourcePath, JobResult::NoPictures,
                    exporter_->LastFailure());
    }
    if (Cancelled()) {
        return Stop();
    }
    return JobResult::Succeeded;
}

void JobRun::ReadTextSource() {
    pictureSizes_.clear();
    slideText_.clear();
    for (const std::wstring& picture : pictures_) {
        pictureSizes_.push_back(ReadPngFileSize(picture));
    }
    // The deck's PDF, part after part.
    const std::wstring folder = pictureFolder_ ? settings_.sourcePath : folder_;
    std::vector<SlideText> slides;
    for (int part = 1;; ++part) {
        const std::wstring path = folder + L"/" + DeckPdfPartName(part);
        std::error_code error;
        if (part > 1 && !std::filesystem::is_regular_file(ToPath(path), error)) {
            break;
        }
        std::optional<std::vector<SlideText>> partSlides =
            ReadSlideText(path, static_cast<int>(slides.size()), cancel_);
        if (!partSlides) {
            return;
        }
        std::move(partSlides->begin(), partSlides->end(), std::back_inserter(slides));
    }
    if (slides.size() == pictures_.size()) {
        slideText_ = std::move(slides);
    }
}

void JobRun::AddTextLayerTo(PDFWriter::PDF& document, const PixelSize& page,
                            const std::vector<LeftOutPicture>& leftOut) const {
    // Composition registers one image per page, in page order.
    std::vector<PDFWriter::PageBox> imageBoxes;
    for (const auto& image : document.Images()) {
        imageBoxes.push_back({image->x, image->y, image->x + image->width, image->y + image->height});
    }
    std::vector<size_t> leftOutIndices;
    for (const LeftOutPicture& picture : leftOut) {
        leftOutIndices.push_back(picture.index);
    }
    const std::optional<std::vector<PagePicture>> pages =
        PagePicturesOf(pictureSizes_, leftOutIndices, imageBoxes, SlidesPerPageOf(settings_), page);
    if (!pages || imageBoxes.size() != document.Pages().size()) {
        return;
    }
    AddTextLayer(document, *pages, pictureSizes_.size(), slideText_,
                 {settings_.outline, settings_.searchable});
}

int JobRun::ComposeAndSave(const PixelSize& page) {
    if (WantsTextLayer()) {
        ReadTextSource();
    }
    std::vector<LeftOutPicture> leftOut;
    std::unique_ptr<PDFWriter::PDF> document =
        composer_ ? composer_->Compose(pictures_, &leftOut)
                  : compose_(pictures_, page.width, page.height, SlidesPerPageOf(settings_),
                             settings_.colours, cancel_, &leftOut, 0);
    RemoveTemporaryFiles();
    if (Cancelled()) {
        return Stop();
    }
    if (!leftOut.empty()) {
        std::vector<std::wstring> notices;
        for (const LeftOutPicture& picture : leftOut) {
            notices.push_back(
                LeftOutNotice(picture, pictureFolder_ ? JobSource::PictureFolder : JobSource::Presentation));
        }
        host_.ShowLeftOut(notices);
    }
    // A document without pages means no picture could be read: there is nothing to save.
    if (!document || document->Pages().empty()) {
        return Fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }
    if (WantsTextLayer()) {
        AddTextLayerTo(*document, page, leftOut);
        slideText_.clear();
    }

    document->producer.clear();
    document->Finish();
    if (document->Failed()) {
        // The file did not fit the document's buffer.
        document.reset();
        return Fail(kGenerateFailedMessage, JobResult::ComposeFailed);
    }

    const std::wstring outputPath =
        OutputPathFor(settings_.sourcePath, pictureFolder_, settings_.outputFolder);
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
            host_.ShowMessage(kGenerateFailedMessage, {});
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

std::wstring LeftOutNotice(const LeftOutPicture& picture, JobSource source) {
    const std::wstring which = source == JobSource::PictureFolder
                                   ? L"The picture \"" + picture.path + L"\""
                                   : L"Slide " + std::to_wstring(picture.index + 1);
    return which + L" was left out: " + LeftOutReasonText(picture.reason) + L".";
}

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
    if (job == nullptr || job->host == nullptr || job->compose == nullptr ||
        (job->exporter == nullptr && job->source == JobSource::Presentation)) {
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
