#include "imaging/ComposeAhead.h"

#include <sys/stat.h>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/ProcessSetup.h"
#include "common/WideText.h"
#include "imaging/PageEncoding.h"

namespace {

using imaging::CompositionJob;
using imaging::PageResult;

// What tells whether a file still holds what was read from it, without reading it again.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileIdentity& other) const {
        return device == other.device && inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec && modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// The identities of `pictures`, or nothing when one cannot be read.
std::optional<std::vector<FileIdentity>> IdentitiesOf(const std::vector<std::wstring>& pictures) {
    std::vector<FileIdentity> identities;
    for (const std::wstring& picture : pictures) {
        struct stat st {};
        if (stat(vellumet::ToNative(picture).c_str(), &st) != 0) {
            return std::nullopt;
        }
        identities.push_back({st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim});
    }
    return identities;
}

}  // namespace

class ComposeAhead::Work {
public:
    Work(int32_t pageWidth, int32_t pageHeight, int32_t slidesPerPage, vellumet::PageColours colours,
         const vellumet::CancelToken* cancel, int32_t threads)
        : pageWidth_(pageWidth),
          pageHeight_(pageHeight),
          slidesPerPage_(slidesPerPage),
          colours_(colours),
          cancel_(cancel),
          threads_(threads > 0 ? threads
                               : static_cast<int32_t>(std::max(1U, std::thread::hardware_concurrency()))) {}

    ~Work() { StopWorkers(false); }

    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;

    void PictureWritten(const std::wstring& picture) noexcept {
        try {
            std::lock_guard lock(mutex_);
            if (closed_ || slidesPerPage_ < 1) {
                return;
            }
            arrived_.push_back(picture);
            if (arrived_.size() < static_cast<size_t>(slidesPerPage_)) {
                return;
            }
            queue_.push_back(Early{std::move(arrived_), {}, {}});
            arrived_.clear();
            StartWorkers();
            wake_.notify_one();
        } catch (...) {
            // The group is encoded by Compose instead.
        }
    }

    std::unique_ptr<PDFWriter::PDF> Compose(const std::vector<std::wstring>& pictures,
                                            std::vector<vellumet::LeftOutPicture>* leftOut) {
        StopWorkers(true);
        std::unordered_map<std::wstring, size_t> byFirstPicture;
        for (size_t k = 0; k < encoded_.size(); ++k) {
            byFirstPicture.emplace(encoded_[k].pictures.front(), k);
        }
        const CompositionJob job{pictures, pageWidth_, pageHeight_, slidesPerPage_,
                                 colours_, cancel_,    leftOut};
        std::mutex taking;
        const imaging::EncodedEarlier earlier = [&](size_t group) -> std::optional<PageResult> {
            const size_t first = group * static_cast<size_t>(slidesPerPage_);
            const size_t end = std::min(pictures.size(), first + static_cast<size_t>(slidesPerPage_));
            const std::vector<std::wstring> members(pictures.begin() + static_cast<ptrdiff_t>(first),
                                                    pictures.begin() + static_cast<ptrdiff_t>(end));
            std::lock_guard lock(taking);
            const auto found = byFirstPicture.find(members.front());
            if (found == byFirstPicture.end()) {
                return std::nullopt;
            }
            Early& early = encoded_[found->second];
            byFirstPicture.erase(found);
            if (early.pictures != members || IdentitiesOf(members) != early.identities) {
                return std::nullopt;
            }
            // Encoded as group 0 of its own: its pictures' places in the whole list.
            for (vellumet::LeftOutPicture& picture : early.page.leftOut) {
                picture.index += first;
            }
            ++takenEarly_;
            return std::move(early.page);
        };
        takenEarly_ = 0;
        return imaging::ComposeJob(job, threads_, earlier);
    }

    size_t PagesTakenEarly() const { return takenEarly_; }

    void WaitForEarlyPages() {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return (queue_.empty() && busy_ == 0) || workers_.empty(); });
    }

private:
    // A group of pictures in the order they were written, and its page once encoded.
    struct Early {
        std::vector<std::wstring> pictures;
        std::optional<std::vector<FileIdentity>> identities;  // as they were when read
        PageResult page;
    };

    bool Cancelled() const { return cancel_ != nullptr && cancel_->IsCancelled(); }

    // Under mutex_.
    void StartWorkers() {
        while (workers_.size() < static_cast<size_t>(threads_)) {
            try {
                workers_.emplace_back([this] { Run(); });
            } catch (const std::system_error&) {
                return;  // fewer workers; the rest is encoded by Compose
            }
        }
    }

    // Lets the workers finish the queued groups (`finish`) or drop them, and waits for them to end.
    void StopWorkers(bool finish) {
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            if (!finish) {
                queue_.clear();
            }
            workers.swap(workers_);
        }
        wake_.notify_all();
        for (std::thread& worker : workers) {
            worker.join();
        }
    }

    void Run() noexcept {
        vellumet::YieldToTheOffice();
        for (;;) {
            Early early;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return !queue_.empty() || closed_; });
                if (queue_.empty() || Cancelled()) {
                    return;
                }
                early = std::move(queue_.front());
                queue_.pop_front();
                ++busy_;
            }
            try {
                Encode(early);
            } catch (...) {
                early.identities.reset();  // out of memory: Compose encodes the group
            }
            {
                std::lock_guard lock(mutex_);
                if (early.identities) {
                    encoded_.push_back(std::move(early));
                }
                --busy_;
            }
            idle_.notify_all();
        }
    }

    // Encodes the group's page; leaves its identities empty when the page cannot be kept: a
    // picture changed while it was read, or memory ran out.
    void Encode(Early& early) const {
        early.identities = IdentitiesOf(early.pictures);
        if (!early.identities) {
            return;
        }
        const CompositionJob job{early.pictures, pageWidth_, pageHeight_, slidesPerPage_,
                                 colours_,       cancel_,    nullptr};
        early.page = imaging::EncodeGroupNoThrow(job, 0);
        if (early.page.outcome == PageResult::Outcome::OutOfMemory ||
            IdentitiesOf(early.pictures) != early.identities) {
            early.identities.reset();
        }
    }

    const int32_t pageWidth_;
    const int32_t pageHeight_;
    const int32_t slidesPerPage_;
    const vellumet::PageColours colours_;
    const vellumet::CancelToken* cancel_;
    const int32_t threads_;

    std::mutex mutex_;
    std::condition_variable wake_;       // a group was queued, or the workers must end
    std::condition_variable idle_;       // a worker finished a group
    int busy_ = 0;                       // groups being encoded
    std::vector<std::wstring> arrived_;  // pictures of the group still being filled
    std::deque<Early> queue_;
    std::vector<Early> encoded_;  // read by Compose only once the workers have ended
    bool closed_ = false;
    size_t takenEarly_ = 0;  // by the last Compose
    std::vector<std::thread> workers_;
};

ComposeAhead::ComposeAhead(int32_t pageWidth, int32_t pageHeight, int32_t slidesPerPage,
                           vellumet::PageColours colours, const vellumet::CancelToken* cancel,
                           int32_t threads)
    : work_(std::make_unique<Work>(pageWidth, pageHeight, slidesPerPage, colours, cancel, threads)) {}

ComposeAhead::~ComposeAhead() = default;

void ComposeAhead::PictureWritten(const std::wstring& picture) noexcept {
    work_->PictureWritten(picture);
}

std::unique_ptr<PDFWriter::PDF> ComposeAhead::Compose(const std::vector<std::wstring>& pictures,
                                                      std::vector<vellumet::LeftOutPicture>* leftOut) {
    return work_->Compose(pictures, leftOut);
}

void ComposeAhead::WaitForEarlyPages() {
    work_->WaitForEarlyPages();
}

size_t ComposeAhead::PagesTakenEarly() const {
    return work_->PagesTakenEarly();
}

std::unique_ptr<vellumet::PageComposer> MakeComposeAhead(int32_t pageWidth, int32_t pageHeight,
                                                         int32_t slidesPerPage, vellumet::PageColours colours,
                                                         const vellumet::CancelToken* cancel) {
    return MakeComposeAhead(pageWidth, pageHeight, slidesPerPage, colours, cancel, 0);
}

std::unique_ptr<vellumet::PageComposer> MakeComposeAhead(int32_t pageWidth, int32_t pageHeight,
                                                         int32_t slidesPerPage, vellumet::PageColours colours,
                                                         const vellumet::CancelToken* cancel,
                                                         int32_t threads) {
    return std::make_unique<ComposeAhead>(pageWidth, pageHeight, slidesPerPage, colours, cancel, threads);
}
