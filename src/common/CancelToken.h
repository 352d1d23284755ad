#pragma once
// A request to stop, shared between the one who asks (a front end) and the work that honours it
// (the job, the slide export). Any thread may call RequestCancel; IsCancelled may be polled from any
// thread. Once requested, a cancellation is never withdrawn.

#include <atomic>

namespace vellumet {

class CancelToken {
public:
    void RequestCancel() noexcept { cancelled_.store(true, std::memory_order_release); }
    bool IsCancelled() const noexcept { return cancelled_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> cancelled_{false};
};

}  // namespace vellumet
