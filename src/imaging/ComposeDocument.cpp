#include "imaging/ComposeDocument.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "imaging/Bitmap.h"
#include "imaging/GrayPage.h"
#include "imaging/PageLayout.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/Page.h"

namespace {

using imaging::Bitmap;

constexpr uint32_t kRuleColour = 0xFF808080;  // opaque grey
constexpr double kRuleWidth = 1.0;
constexpr int32_t kMaxThreads = 64;
constexpr size_t kWindowPerThread = 4;

// What one group of slides (one page) turned into.
struct PageResult {
    enum class Outcome { NoPage, Page, OutOfMemory };
    Outcome outcome = Outcome::NoPage;
    std::unique_ptr<PDFWriter::ImageObject> image;  // encoded, not yet registered
    imaging::Fit fit;
    std::vector<vellumet::LeftOutPicture> leftOut;  // the group's pictures that gave no page
    bool done = false;                              // set by the worker that made it
};

// The fixed inputs of one composition; shared read-only by every worker.
struct Job {
    const std::vector<std::wstring>& pictures;
    int32_t pageWidth;
    int32_t pageHeight;
    int32_t slidesPerPage;
    vellumet::PageColours colours;
    const vellumet::CancelToken* cancel;
    std::vector<vellumet::LeftOutPicture>* leftOut;  // filled on the calling thread only

    size_t GroupCount() const {
        return (pictures.size() + static_cast<size_t>(slidesPerPage) - 1) /
               static_cast<size_t>(slidesPerPage);
    }
    bool Cancelled() const { return cancel != nullptr && cancel->IsCancelled(); }
};

void NoteLeftOut(PageResult& result, const Job& job, size_t i, vellumet::LeftOutReason reason) {
    result.leftOut.push_back({i, job.pictures[i], reason});
}

// Notes every picture of the group from picture i on as left out: the first for `reason`, the
// others (the second of a pair) for their partner.
void NoteGroupLeftOut(PageResult& result, const Job& job, size_t i, vellumet::LeftOutReason reason) {
    NoteLeftOut(result, job, i, reason);
    for (size_t k = i + 1; k < i + static_cast<size_t>(job.slidesPerPage) && k < job.pictures.size(); ++k) {
        const bool noted =
            std::any_of(result.leftOut.begin(), result.leftOut.end(),
                        [k](const vellumet::LeftOutPicture& picture) { return picture.index == k; });
        if (!noted) {
            NoteLeftOut(result, job, k, vellumet::LeftOutReason::PartnerLeftOut);
        }
    }
}

// The pair picture for pictures i and i + 1 (if any): w1 x 2*h1, the first picture on top, the
// second stretched below it, the grey rule along the lower half's top row. Null when the first
// picture cannot be decoded or the pair cannot be created (with the reason in `why`); a second
// picture that cannot be decoded is noted in `result`.
std::unique_ptr<Bitmap> MakePairPicture(const Job& job, size_t i, PageResult& result,
                                        vellumet::LeftOutReason& why) {
    std::unique_ptr<Bitmap> first = Bitmap::Load(job.pictures[i], {}, &why);
    if (!first) {
        return nullptr;
    }
    const int32_t w1 = first->Width();
    const int32_t h1 = first->Height();
    if (!imaging::BitmapSizeAllowed(w1, int64_t{h1} * 2)) {
        why = vellumet::LeftOutReason::TooLarge;
        return nullptr;
    }
    std::unique_ptr<Bitmap> pair = Bitmap::Create(w1, h1 * 2);
    if (!pair) {
        why = vellumet::LeftOutReason::TooLarge;
        return nullptr;
    }
    pair->DrawPicture(*first, 0, 0, w1, h1);
    first.reset();
    if (i + 1 < job.pictures.size()) {
        // An undecodable second picture leaves the lower half white.
        vellumet::LeftOutReason secondWhy = vellumet::LeftOutReason::Damaged;
        if (std::unique_ptr<Bitmap> second = Bitmap::Load(job.pictures[i + 1], {}, &secondWhy)) {
            pair->DrawPicture(*second, 0, h1, w1, h1);
        } else {
            NoteLeftOut(result, job, i + 1, secondWhy);
        }
    }
    pair->DrawLine(0, h1, w1, h1, kRuleColour, kRuleWidth);
    return pair;
}

// The page picture's image object in the job's colours. For a pair, the rule is set again as a
// solid line where scaling put it: along the middle row, or the middle column of a turned pair.
std::unique_ptr<PDFWriter::ImageObject> EncodePicture(const Job& job, Bitmap& picture, bool pair,
                                                      bool turned) {
    const int32_t w = picture.Width();
    const int32_t h = picture.Height();
    if (job.colours.palette == vellumet::Palette::Rgb) {
        return std::make_unique<PDFWriter::ImageObject>(&picture, L"PNG", w, h);
    }
    std::unique_ptr<imaging::GrayPage> gray = imaging::GrayPage::Convert(picture, job.colours);
    if (!gray) {
        return nullptr;
    }
    if (pair) {
        const uint8_t rule =
            imaging::Luminance((kRuleColour >> 16) & 0xFF, (kRuleColour >> 8) & 0xFF, kRuleColour & 0xFF);
        if (turned) {
            gray->SetColumn(w / 2, rule);
        } else {
            gray->SetRow(h / 2, rule);
        }
    }
    return std::make_unique<PDFWriter::ImageObject>(gray.get(), L"PNG", w, h, gray->Samples());
}

// Turns, fits, scales and encodes the page picture of one group. Everything here is local to the
// group, so groups may run on any thread in any order.
PageResult EncodeGroup(const Job& job, size_t group) {
    PageResult result;
    const size_t i = group * static_cast<size_t>(job.slidesPerPage);
    const auto needsTurn = [&job](int32_t w, int32_t h) {
        return imaging::NeedsQuarterTurn(w, h, job.pageWidth, job.pageHeight);
    };
    std::unique_ptr<Bitmap> picture;
    vellumet::LeftOutReason why = vellumet::LeftOutReason::Damaged;
    bool turned = false;
    if (job.slidesPerPage == 2) {
        picture = MakePairPicture(job, i, result, why);
        if (picture && needsTurn(picture->Width(), picture->Height())) {
            picture->RotateQuarter();
            turned = true;
        }
    } else {
        // A single slide is decoded already turned, in one pass.
        picture = Bitmap::Load(job.pictures[i], needsTurn, &why);
    }
    if (!picture) {
        NoteGroupLeftOut(result, job, i, why);
        return result;
    }
    const imaging::Fit fit =
        imaging::FitToPage(picture->Width(), picture->Height(), job.pageWidth, job.pageHeight);
    // An image object holds at most kMaxImageSide a side; a larger fit (a page larger than that)
    // gets no page rather than an empty image.
    if (fit.width < 1 || fit.height < 1) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::CannotFit);
        return result;
    }
    if (fit.width > PDFWriter::kMaxImageSide || fit.height > PDFWriter::kMaxImageSide) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
        return result;
    }
    if (picture->Width() != fit.width || picture->Height() != fit.height) {
        picture = picture->Scaled(fit.width, fit.height);
        if (!picture) {
            NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
            return result;
        }
    }

    result.image = EncodePicture(job, *picture, job.slidesPerPage == 2, turned);
    if (!result.image) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
        return result;
    }
    result.fit = fit;
    result.outcome = PageResult::Outcome::Page;
    return result;
}

PageResult EncodeGroupNoThrow(const Job& job, size_t group) noexcept {
    try {
        return EncodeGroup(job, group);
    } catch (...) {
        // Allocation failures (the only exceptions the libraries raise here) end the composition.
        PageResult failed;
        failed.outcome = PageResult::Outcome::OutOfMemory;
        return failed;
    }
}

// Registers the group's image, then adds its page and draws the image centred on it.
void AddPage(PDFWriter::PDF& document, const Job& job, PageResult& result) {
    PDFWriter::ImageObject* image = result.image.get();
    document.RegisterImage(std::move(result.image));
    // The document adopts the page.
    auto* page = new PDFWriter::Page(
        &document, {static_cast<double>(job.pageWidth), static_cast<double>(job.pageHeight)});
    const imaging::Placement placement = imaging::CentreOnPage(result.fit, job.pageWidth, job.pageHeight);
    image->x = placement.x;
    image->y = placement.y;
    page->PlaceImage(*image);
}

// Adds one group's result; false when the composition must end without a document.
bool Consume(PDFWriter::PDF& document, const Job& job, PageResult& result) {
    if (job.leftOut != nullptr) {
        std::stable_sort(result.leftOut.begin(), result.leftOut.end(),
                         [](const auto& a, const auto& b) { return a.index < b.index; });
        job.leftOut->insert(job.leftOut->end(), result.leftOut.begin(), result.leftOut.end());
    }
    switch (result.outcome) {
        case PageResult::Outcome::OutOfMemory:
            return false;
        case PageResult::Outcome::Page:
            AddPage(document, job, result);
            return true;
        case PageResult::Outcome::NoPage:
            return true;
    }
    return true;
}

bool ComposeOnThisThread(PDFWriter::PDF& document, const Job& job) {
    const size_t groups = job.GroupCount();
    for (size_t group = 0; group < groups; ++group) {
        if (job.Cancelled()) {
            return false;
        }
        PageResult result = EncodeGroupNoThrow(job, group);
        if (!Consume(document, job, result)) {
            return false;
        }
    }
    return true;
}

// Worker threads encode groups ahead of the calling thread, which adds them to the document in group
// order. A worker takes the next group only while fewer than `window_` groups are encoded or being
// encoded beyond the last one added, so memory stays bounded by a few pages: the pictures of at most
// one group per worker, and the encoded (compressed) pixels of the rest. The window is wide enough
// that one slow page (a photograph among text slides) does not idle the other workers.
class ParallelComposer {
public:
    ParallelComposer(const Job& job, int32_t threads)
        : job_(job),
          groups_(job.GroupCount()),
          window_(static_cast<size_t>(threads) * kWindowPerThread),
          results_(groups_) {
        workers_.reserve(static_cast<size_t>(threads));
        for (int32_t t = 0; t < threads; ++t) {
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // fewer workers than asked; the calling thread fills in if there are none
            }
        }
    }

    ~ParallelComposer() {
        Stop();
        for (std::thread& worker : workers_) {
            worker.join();
        }
    }

    ParallelComposer(const ParallelComposer&) = delete;
    ParallelComposer& operator=(const ParallelComposer&) = delete;

    bool Run(PDFWriter::PDF& document) {
        if (workers_.empty()) {
            return ComposeOnThisThread(document, job_);
        }
        for (size_t group = 0; group < groups_; ++group) {
            if (job_.Cancelled()) {
                return false;
            }
            PageResult result;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [&] { return results_[group].done || aborted_; });
                if (!results_[group].done) {
                    return false;
                }
                result = std::move(results_[group]);
                consumed_ = group + 1;
            }
            space_.notify_all();
            if (!Consume(document, job_, result)) {
                return false;
            }
        }
        return true;
    }

private:
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        space_.notify_all();
        ready_.notify_all();
    }

    void Work() {
        for (;;) {
            size_t group = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                space_.wait(lock,
                            [&] { return stopping_ || next_ >= groups_ || next_ < consumed_ + window_; });
                if (stopping_ || next_ >= groups_) {
                    return;
                }
                group = next_++;
            }
            if (job_.Cancelled()) {
                Abort();
                return;
            }
            PageResult result = EncodeGroupNoThrow(job_, group);
            const bool outOfMemory = result.outcome == PageResult::Outcome::OutOfMemory;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                results_[group] = std::move(result);
                results_[group].done = true;
            }
            ready_.notify_all();
            if (outOfMemory) {
                Abort();
                return;
            }
        }
    }

    // Ends the composition early: the calling thread stops waiting and returns no document.
    void Abort() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            aborted_ = true;
            stopping_ = true;
        }
        space_.notify_all();
        ready_.notify_all();
    }

    const Job& job_;
    const size_t groups_;
    const size_t window_;

    std::mutex mutex_;
    std::condition_variable ready_;  // a result is done, or the composition is aborted
    std::condition_variable space_;  // a result was consumed, or the workers must stop
    std::vector<PageResult> results_;
    size_t next_ = 0;      // next group a worker takes
    size_t consumed_ = 0;  // groups added to the document
    bool stopping_ = false;
    bool aborted_ = false;
    std::vector<std::thread> workers_;  // last: started after everything they use
};

int32_t ResolveThreadCount(int32_t threads, size_t groups) {
    if (threads <= 0) {
        threads = static_cast<int32_t>(std::min<unsigned>(std::thread::hardware_concurrency(), kMaxThreads));
    }
    threads = std::clamp(threads, 1, kMaxThreads);
    return static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(threads), groups));
}

}  // namespace

std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                const vellumet::CancelToken* cancel) {
    return ComposeDocument(pictures, pageWidth, pageHeight, slidesPerPage, cancel, 0);
}

std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                const vellumet::CancelToken* cancel, int32_t threads) {
    return ComposeDocument(pictures, pageWidth, pageHeight, slidesPerPage, vellumet::PageColours{}, cancel,
                           nullptr, threads);
}

std::unique_ptr<PDFWriter::PDF> ComposeDocument(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                                int32_t pageHeight, int32_t slidesPerPage,
                                                vellumet::PageColours colours,
                                                const vellumet::CancelToken* cancel,
                                                std::vector<vellumet::LeftOutPicture>* leftOut,
                                                int32_t threads) {
    if (pictures.empty() || pageWidth < 1 || pageHeight < 1 || (slidesPerPage != 1 && slidesPerPage != 2)) {
        return nullptr;
    }
    const Job job{pictures, pageWidth, pageHeight, slidesPerPage, colours, cancel, leftOut};
    try {
        auto document = std::make_unique<PDFWriter::PDF>();
        const int32_t workers = ResolveThreadCount(threads, job.GroupCount());
        bool complete = false;
        if (workers <= 1) {
            complete = ComposeOnThisThread(*document, job);
        } else {
            ParallelComposer composer(job, workers);
            complete = composer.Run(*document);
        }
        if (!complete) {
            return nullptr;
        }
        return document;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
