#include "cli/TerminalHost.h"

#include <chrono>
#include <exception>
#include <utility>

#include "common/WideText.h"
#include "frontend/FrontEndRules.h"

namespace vellumet::cli {

namespace {

constexpr std::chrono::milliseconds kTickPeriod{kProgressTimerMs};
constexpr int32_t kBarWidth = 30;
constexpr size_t kLabelWidth = 40;

std::string ShortLabel(const std::wstring& label) {
    if (label.size() <= kLabelWidth) {
        return ToNative(label);
    }
    return "..." + ToNative(std::wstring_view(label).substr(label.size() - (kLabelWidth - 3)));
}

}  // namespace

TerminalHost::TerminalHost(std::FILE* err, bool showBar, const std::wstring& label, const CancelToken* cancel,
                           bool held)
    : err_(err), showBar_(showBar), label_(ShortLabel(label)), cancel_(cancel), held_(held) {}

TerminalHost::~TerminalHost() {
    StopTicker();
}

void TerminalHost::BeginBusy() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = true;
        position_ = 0;
        step_ = 1;
        if (showBar_) {
            DrawBar();
        }
    }
    if (ticker_.joinable()) {
        return;
    }
    try {
        ticker_ = std::thread(&TerminalHost::TickerLoop, this);
    } catch (const std::exception&) {
        // Without a ticker the bar only moves when the job sets it.
    }
}

void TerminalHost::EndBusy() {
    StopTicker();
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBar();
}

void TerminalHost::ShowMessage(const std::wstring& text, const std::wstring& detail) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBar();
    std::string line;
    try {
        line = ToNative(text);
        line.push_back('\n');
        if (!detail.empty()) {
            line += ToNative(detail);
            line.push_back('\n');
        }
    } catch (const std::exception&) {
        line = "(message lost: out of memory)\n";
    }
    Write(line);
}

void TerminalHost::ShowLeftOut(const std::vector<std::wstring>& notices) {
    std::lock_guard<std::mutex> lock(mutex_);
    ClearBar();
    for (const std::wstring& notice : notices) {
        Write(ToNative(notice) + "\n");
    }
    if (busy_ && showBar_) {
        DrawBar();
    }
}

int32_t TerminalHost::ProgressPosition() {
    std::lock_guard<std::mutex> lock(mutex_);
    return position_;
}

void TerminalHost::SetProgressPosition(int32_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    position_ = position < 0 ? 0 : (position > kProgressMaximum ? kProgressMaximum : position);
    if (showBar_ && busy_) {
        DrawBar();
    }
}

void TerminalHost::SetProgressStep(int32_t step) {
    std::lock_guard<std::mutex> lock(mutex_);
    step_ = step;
}

void TerminalHost::TickerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (busy_) {
        if (wake_.wait_for(lock, kTickPeriod, [this] { return !busy_; })) {
            break;
        }
        position_ = NextProgressPosition(position_, step_);
        if (showBar_) {
            DrawBar();
        }
    }
}

void TerminalHost::StopTicker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
    }
    wake_.notify_all();
    if (ticker_.joinable()) {
        ticker_.join();
    }
}

void TerminalHost::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!held_) {
        return;
    }
    held_ = false;
    Write(kept_);
    kept_.clear();
    if (busy_ && showBar_) {
        DrawBar();
    }
}

void TerminalHost::Write(const std::string& text) {
    if (held_) {
        kept_ += text;
        return;
    }
    std::fwrite(text.data(), 1, text.size(), err_);
    std::fflush(err_);
}

void TerminalHost::DrawBar() {
    if (held_) {
        return;
    }
    try {
        const int32_t filled = position_ * kBarWidth / kProgressMaximum;
        std::string line = "\r" + label_ + " [";
        line.append(static_cast<size_t>(filled), '#');
        line.append(static_cast<size_t>(kBarWidth - filled), ' ');
        line += "]";
        if (cancel_ != nullptr && cancel_->IsCancelled()) {
            line += " stopping";
        }
        line += "\x1b[K";
        std::fwrite(line.data(), 1, line.size(), err_);
        std::fflush(err_);
        barShown_ = true;
    } catch (const std::exception&) {
        // A bar that cannot be drawn is skipped.
    }
}

void TerminalHost::ClearBar() {
    if (!barShown_) {
        return;
    }
    std::fputs("\r\x1b[K", err_);
    std::fflush(err_);
    barShown_ = false;
}

}  // namespace vellumet::cli
