#include "powerpoint/libreoffice/PdfRasteriser.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <thread>

#include "common/PngChunks.h"
#include "common/WholeTransfers.h"
#include "powerpoint/libreoffice/OfficeConfinement.h"
#include "powerpoint/libreoffice/RasteriserProtocol.h"

namespace powerpoint {

namespace {

using namespace rasteriser;

// Requests in flight per worker: the next page waits in its pipe while it renders one.
constexpr int kQueuedPerWorker = 2;
constexpr int kPollMilliseconds = 50;
constexpr std::chrono::seconds kCloseAnswerTime{5};

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// One worker process and its two pipes. Killed and reaped on destruction.
class Worker {
public:
    Worker() = default;
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;
    ~Worker() { End(); }

    // Starts `program`. `argv` and `plan` are made by the caller before (no allocation here between
    // fork and exec).
    bool Start(char* const* argv, const ConfinementPlan& plan) {
        int toWorker[2] = {-1, -1};
        int fromWorker[2] = {-1, -1};
        const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0 || ::pipe2(toWorker, O_CLOEXEC) != 0 || ::pipe2(fromWorker, O_CLOEXEC) != 0) {
            for (int fd : {devNull, toWorker[0], toWorker[1], fromWorker[0], fromWorker[1]}) {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
            return false;
        }
        const pid_t parent = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) {
                ::_exit(127);
            }
            ::dup2(toWorker[0], 0);
            ::dup2(fromWorker[1], 1);
            ::dup2(devNull, 2);
            ::close_range(3, ~0U, 0);
            plan.ApplyInChild();
            ::execv(argv[0], argv);
            ::_exit(127);
        }
        ::close(devNull);
        ::close(toWorker[0]);
        ::close(fromWorker[1]);
        if (pid < 0) {
            ::close(toWorker[1]);
            ::close(fromWorker[0]);
            return false;
        }
        pid_ = pid;
        in_ = toWorker[1];
        out_ = fromWorker[0];
        return true;
    }

    void End() noexcept {
        CloseFd(in_);
        CloseFd(out_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
    }

    bool Send(const PageRequest& request) {
        if (!SendBytes(&request, sizeof request)) {
            return false;
        }
        ++queued;
        return true;
    }

    // Has the worker drop its file and open `pdf`; it answers with a Hello.
    bool Open(const std::string& pdf) {
        greeted = false;
        received.clear();
        const PageRequest open{kOpenFile, static_cast<int32_t>(pdf.size()), 0};
        return pdf.size() <= static_cast<size_t>(kMaxPathBytes) && SendBytes(&open, sizeof open) &&
               SendBytes(pdf.data(), pdf.size());
    }

    // Reads what the worker has sent so far into `received`; false at its end or on an error.
    bool Receive() {
        char chunk[65536];
        const ssize_t got = ::read(out_, chunk, sizeof chunk);
        if (got < 0) {
            return errno == EINTR || errno == EAGAIN;
        }
        if (got == 0) {
            return false;
        }
        received.insert(received.end(), chunk, chunk + got);
        return true;
    }

    int Output() const { return out_; }

    std::vector<uint8_t> received;  // bytes read and not yet taken
    int queued = 0;                 // page requests sent and not yet answered
    bool greeted = false;           // the Hello for the open file has been taken

private:
    bool SendBytes(const void* bytes, size_t size) { return vellumet::WriteWhole(in_, bytes, size); }

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
};

// Takes a record of type T from the front of `bytes`; false while it is incomplete.
template <typename T>
bool Take(std::vector<uint8_t>& bytes, T& record) {
    if (bytes.size() < sizeof record) {
        return false;
    }
    std::memcpy(&record, bytes.data(), sizeof record);
    bytes.erase(bytes.begin(), bytes.begin() + sizeof record);
    return true;
}

bool WriteNewFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    const bool written = vellumet::WriteWhole(fd, bytes.data(), bytes.size());
    return ::close(fd) == 0 && written;
}

bool HasSize(const std::vector<uint8_t>& png, PixelSize size) {
    const auto header = vellumet::ReadPngHeader(png.data(), png.size());
    return header && header->width == static_cast<uint32_t>(size.width) &&
           header->height == static_cast<uint32_t>(size.height);
}

// The rendering of one PDF file by the renderer's workers: hands out pages to the workers as they
// become free, collects the pictures and writes them in page order.
class Rasterising {
public:
    // Renders with the first `use` of `workers`.
    Rasterising(const std::vector<std::unique_ptr<Worker>>& workers, size_t use, const RasterRequest& request,
                const KeepGoing& keepGoing, const PictureWritten& onPicture,
                std::vector<std::filesystem::path>& written)
        : request_(request), keepGoing_(keepGoing), onPicture_(onPicture), written_(written) {
        for (size_t i = 0; i < use && i < workers.size(); ++i) {
            workers_.push_back(workers[i].get());
        }
    }

    bool Open(std::wstring& error) {
        for (const auto& worker : workers_) {
            if (!worker->Open(request_.pdf.string())) {
                error = L"The page renderer ended unexpectedly.";
                return false;
            }
        }
        return true;
    }

    // One round: waits up to 50 ms for answers and handles them. False, with why, on a failure or
    // when told to stop.
    bool Step(std::wstring& error) {
        if (Stopped(error)) {
            return false;
        }
        std::vector<pollfd> fds;
        for (const auto& worker : workers_) {
            fds.push_back({worker->Output(), POLLIN, 0});
        }
        const int ready = ::poll(fds.data(), fds.size(), kPollMilliseconds);
        if (ready < 0 && errno != EINTR) {
            error = L"The page renderer cannot be watched.";
            return false;
        }
        for (size_t i = 0; ready > 0 && i < fds.size(); ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            Worker& worker = *workers_[i];
            if (!worker.Receive() || !Handle(worker, error)) {
                if (error.empty()) {
                    error = L"The page renderer ended unexpectedly.";
                }
                return false;
            }
        }
        return Hand(error) && WriteReady(error);
    }

    // Every picture is written and every worker has answered all it was asked.
    bool Finished() const {
        if (nextToWrite_ != static_cast<int>(request_.sizes.size())) {
            return false;
        }
        return std::all_of(workers_.begin(), workers_.end(),
                           [](const auto& worker) { return worker->greeted && worker->queued == 0; });
    }

private:
    bool Stopped(std::wstring& error) const {
        if (keepGoing_ && !keepGoing_()) {
            error = L"The rendering of the pages was stopped.";
            return true;
        }
        return false;
    }

    // Takes the complete messages a worker has sent.
    bool Handle(Worker& worker, std::wstring& error) {
        if (!worker.greeted) {
            Hello hello{};
            if (!Take(worker.received, hello)) {
                return true;
            }
            worker.greeted = true;
            if (hello.pageCount != static_cast<int>(request_.sizes.size())) {
                error = hello.pageCount < 0
                            ? L"The page renderer cannot read the PDF file."
                            : L"The PDF file has " + std::to_wstring(hello.pageCount) + L" pages for " +
                                  std::to_wstring(request_.sizes.size()) + L" slides.";
                return false;
            }
        }
        for (;;) {
            PageAnswer answer{};
            if (worker.received.size() < sizeof answer) {
                return true;
            }
            std::memcpy(&answer, worker.received.data(), sizeof answer);
            if (answer.status != kPageDone || answer.pngBytes > kMaxPngBytes || answer.page < 0 ||
                answer.page >= static_cast<int>(request_.sizes.size())) {
                error = L"The page renderer failed on page " + std::to_wstring(answer.page + 1) + L".";
                return false;
            }
            if (worker.received.size() < sizeof answer + answer.pngBytes) {
                return true;
            }
            const auto data = worker.received.begin() + sizeof answer;
            std::vector<uint8_t> png(data, data + answer.pngBytes);
            worker.received.erase(worker.received.begin(), data + answer.pngBytes);
            if (!HasSize(png, request_.sizes[static_cast<size_t>(answer.page)])) {
                error = L"The picture of page " + std::to_wstring(answer.page + 1) + L" has the wrong size.";
                return false;
            }
            --worker.queued;
            done_.emplace(answer.page, std::move(png));
        }
    }

    // Gives every greeted worker pages until it has kQueuedPerWorker of them.
    bool Hand(std::wstring& error) {
        for (const auto& worker : workers_) {
            while (worker->greeted && worker->queued < kQueuedPerWorker &&
                   nextToHand_ < static_cast<int>(request_.sizes.size())) {
                const PixelSize size = request_.sizes[static_cast<size_t>(nextToHand_)];
                if (!worker->Send({nextToHand_, size.width, size.height})) {
                    error = L"The page renderer ended unexpectedly.";
                    return false;
                }
                ++nextToHand_;
            }
        }
        return true;
    }

    // Writes the pictures that are next in page order.
    bool WriteReady(std::wstring& error) {
        for (auto it = done_.find(nextToWrite_); it != done_.end(); it = done_.find(nextToWrite_)) {
            if (nextToWrite_ > 0 && Stopped(error)) {
                return false;
            }
            const int slide = request_.firstSlide + nextToWrite_ + 1;
            const std::filesystem::path file = request_.folder / ("Slide" + std::to_string(slide) + ".png");
            written_.push_back(file);
            if (!WriteNewFile(file, it->second)) {
                error = L"The picture of slide " + std::to_wstring(slide) + L" cannot be written.";
                return false;
            }
            done_.erase(it);
            ++nextToWrite_;
            if (onPicture_) {
                onPicture_(slide);
            }
        }
        return true;
    }

    std::vector<Worker*> workers_;
    const RasterRequest& request_;
    const KeepGoing& keepGoing_;
    const PictureWritten& onPicture_;
    std::vector<std::filesystem::path>& written_;
    std::map<int, std::vector<uint8_t>> done_;  // pictures waiting for the ones before them
    int nextToHand_ = 0;
    int nextToWrite_ = 0;
};

}  // namespace

struct PageRenderer::Workers {
    std::vector<std::unique_ptr<Worker>> processes;
};

PageRenderer::PageRenderer(std::string program, int workers, int mostPages)
    : program_(std::move(program)),
      workerCount_(std::clamp(workers > 0 ? workers : UsableCores(), 1,
                              mostPages > 0 ? mostPages : std::numeric_limits<int>::max())) {}

PageRenderer::~PageRenderer() = default;

bool PageRenderer::Start(std::wstring& error) {
    if (workers_) {
        return true;
    }
    broken_ = true;  // until every worker runs
    const std::string program = program_.empty() ? DefaultRasteriserProgram() : program_;
    if (program.empty()) {
        error = L"The page renderer (vellumet-rasterise) is not installed.";
        return false;
    }
    std::string programArg = program;
    char* argv[] = {programArg.data(), nullptr};
    const ConfinementPlan plan({});
    workers_ = std::make_unique<Workers>();
    workers_->processes.resize(static_cast<size_t>(workerCount_));
    for (auto& worker : workers_->processes) {
        worker = std::make_unique<Worker>();
        if (!worker->Start(argv, plan)) {
            error = L"The page renderer cannot be started.";
            return false;
        }
    }
    broken_ = false;
    return true;
}

bool PageRenderer::Render(const RasterRequest& request, const KeepGoing& keepGoing,
                          const PictureWritten& onPicture, std::vector<std::filesystem::path>& written,
                          std::wstring& error) {
    error.clear();
    if (broken_) {
        error = L"The page renderer failed before.";
        return false;
    }
    if (!Start(error)) {
        return false;
    }
    broken_ = true;  // until this file is done
    const size_t count = workers_->processes.size();
    const size_t use = request.workers > 0 ? std::min(count, static_cast<size_t>(request.workers)) : count;
    Rasterising rasterising(workers_->processes, use, request, keepGoing, onPicture, written);
    if (!rasterising.Open(error)) {
        return false;
    }
    while (!rasterising.Finished()) {
        if (!rasterising.Step(error)) {
            return false;
        }
    }
    broken_ = false;
    return true;
}

bool PageRenderer::CloseFiles() {
    if (!workers_ || broken_) {
        return !broken_;
    }
    // A request without a file: each worker answers that it has none, at once.
    const auto deadline = std::chrono::steady_clock::now() + kCloseAnswerTime;
    std::vector<std::filesystem::path> none;
    std::wstring ignored;
    return Render(
        RasterRequest{}, [deadline] { return std::chrono::steady_clock::now() < deadline; }, nullptr, none,
        ignored);
}

bool RasterisePdf(const RasterRequest& request, const KeepGoing& keepGoing, const PictureWritten& onPicture,
                  std::vector<std::filesystem::path>& written, std::wstring& error) {
    PageRenderer renderer(request.program, request.workers, static_cast<int>(request.sizes.size()));
    return renderer.Render(request, keepGoing, onPicture, written, error);
}

std::string DefaultRasteriserProgram() {
    // Where this code itself was loaded from: the office module, or a program linked with it.
    Dl_info info{};
    std::error_code error;
    std::filesystem::path self;
    if (::dladdr(reinterpret_cast<void*>(&DefaultRasteriserProgram), &info) != 0 &&
        info.dli_fname != nullptr && info.dli_fname[0] == '/') {
        self = info.dli_fname;
    } else {
        self = std::filesystem::read_symlink("/proc/self/exe", error);
    }
    // Code that runs in the build tree takes that build's worker; installed code the worker
    // installed with it.
    const std::string tree = std::filesystem::path(VELLUMET_BUILD_TREE).lexically_normal().string() + "/";
    const std::string candidate =
        self.string().compare(0, tree.size(), tree) == 0
            ? std::string(VELLUMET_RASTERISER_BUILT)
            : (self.parent_path() / VELLUMET_RASTERISER_FROM_MODULE).lexically_normal().string();
    return ::access(candidate.c_str(), X_OK) == 0 ? candidate : std::string();
}

int UsableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return CPU_COUNT(&set);
    }
    return std::max(1U, std::thread::hardware_concurrency());
}

}  // namespace powerpoint
