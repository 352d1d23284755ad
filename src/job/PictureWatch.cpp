#include "job/PictureWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>
#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

#include "common/WideText.h"
#include "job/SlidePictures.h"

namespace vellumet {

PictureWatch::PictureWatch(const std::wstring& folder, std::wstring_view pattern, Report report)
    : directory_(folder + L"/"), nativePattern_(ToNative(pattern)), report_(std::move(report)) {
    if (!report_) {
        return;
    }
    events_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    stop_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (events_ < 0 || stop_ < 0 ||
        inotify_add_watch(events_, ToNative(folder).c_str(), IN_CLOSE_WRITE | IN_ONLYDIR | IN_DONT_FOLLOW) <
            0) {
        return;
    }
    try {
        thread_ = std::thread([this] { Watch(); });
    } catch (const std::system_error&) {
        // Nothing is told; composition begins once the export is over.
    }
}

PictureWatch::~PictureWatch() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        while (write(stop_, &one, sizeof one) < 0 && errno == EINTR) {
        }
        thread_.join();
    }
    for (const int fd : {events_, stop_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void PictureWatch::Watch() noexcept {
    alignas(inotify_event) char buffer[16 * 1024];
    bool stopping = false;
    for (;;) {
        // Events are queued when a file is closed, so once the stop is seen, the closes before it
        // are all in the queue: read it empty, then end.
        if (!stopping) {
            pollfd waits[2] = {{events_, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (poll(waits, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            stopping = (waits[1].revents & POLLIN) != 0;
        }
        const ssize_t got = read(events_, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (stopping || (got < 0 && errno != EAGAIN)) {
                return;
            }
            continue;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->len > 0 && (event->mask & IN_ISDIR) == 0 &&
                IsSlidePictureName(event->name, nativePattern_)) {
                try {
                    report_(directory_ + FromNative(event->name));
                } catch (...) {
                    // Only work begun early is lost.
                }
            }
        }
    }
}

}  // namespace vellumet
