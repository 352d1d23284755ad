#include "imaging/ComposeDocument.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "imaging/PageEncoding.h"
#include "imaging/PageLayout.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/Page.h"

namespace {

constexpr int32_t kMaxThreads = 64;
constexpr size_t kWindowPerThread = 4;

using imaging::CompositionJob;
using imaging::PageResult;

// Registers the group's image, then adds its page and draws the image centred on it.
void AddPage(PDFWriter::PDF& document, const CompositionJob& job, PageResult& result) {
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
bool Consume(PDFWriter::PDF& document, const CompositionJob& job, PageResult& result) {
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

// The group's page from `earlier`, else encoded here.
PageResult PageOfGroup(const CompositionJob& job, size_t group, const imaging::EncodedEarlier& earlier) {
    if (earlier) {
        if (std::optional<PageResult> ready = earlier(group)) {
            return std::move(*ready);
        }
    }
    return EncodeGroupNoThrow(job, group);
}

bool ComposeOnThisThread(PDFWriter::PDF& document, const CompositionJob& job,
                         const imaging::EncodedEarlier& earlier) {
    const size_t groups = job.GroupCount();
    for (size_t group = 0; group < groups; ++group) {
        if (job.Cancelled()) {
            return false;
        }
        PageResult result = PageOfGroup(job, group, earlier);
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
    ParallelComposer(const CompositionJob& job, int32_t threads, const imaging::EncodedEarlier& earlier)
        : job_(job),
          earlier_(earlier),
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
            return ComposeOnThisThread(document, job_, earlier_);
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
            PageResult result = PageOfGroup(job_, group, earlier_);
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

    const CompositionJob& job_;
    const imaging::EncodedEarlier& earlier_;
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
    const CompositionJob job{pictures, pageWidth, pageHeight, slidesPerPage, colours, cancel, leftOut};
    return imaging::ComposeJob(job, threads, {});
}

namespace imaging {

std::unique_ptr<PDFWriter::PDF> ComposeJob(const CompositionJob& job, int32_t threads,
                                           const EncodedEarlier& earlier) {
    if (job.pictures.empty() || job.pageWidth < 1 || job.pageHeight < 1 ||
        (job.slidesPerPage != 1 && job.slidesPerPage != 2)) {
        return nullptr;
    }
    try {
        auto document = std::make_unique<PDFWriter::PDF>();
        const int32_t workers = ResolveThreadCount(threads, job.GroupCount());
        bool complete = false;
        if (workers <= 1) {
            complete = ComposeOnThisThread(*document, job, earlier);
        } else {
            ParallelComposer composer(job, workers, earlier);
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

}  // namespace imaging
