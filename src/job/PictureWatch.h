#pragma once
// Tells of each slide picture an exporter finishes writing into a folder, while the export runs.

#include <functional>
#include <string>
#include <thread>

namespace vellumet {

class PictureWatch {
public:
    // Called with the full path (the folder, "/", the name) of a picture once it has been closed
    // after writing, on the watch's own thread, in the order of the closes. Must not throw.
    using Report = std::function<void(const std::wstring& picture)>;

    // Watches `folder` (no trailing separator) for files that CollectSlidePictures(`pattern`, folder)
    // would list by name (SlidePictures.h). Without `report`, or when the folder cannot be watched,
    // tells of nothing: the watch only lets work begin early.
    PictureWatch(const std::wstring& folder, std::wstring_view pattern, Report report);
    // Reports every close that happened before it was called, then stops.
    ~PictureWatch();

    PictureWatch(const PictureWatch&) = delete;
    PictureWatch& operator=(const PictureWatch&) = delete;

private:
    void Watch() noexcept;

    std::wstring directory_;  // with a trailing "/"
    std::string nativePattern_;
    Report report_;
    int events_ = -1;  // inotify
    int stop_ = -1;    // eventfd, written once by the destructor
    std::thread thread_;
};

}  // namespace vellumet
