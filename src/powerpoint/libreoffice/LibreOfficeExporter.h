#pragma once
// The installed LibreOffice as the job's SlideExporter: the version probe, and the slide-export
// conversation answered by a private office that stays warm from one export to the next.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "job/SlideExporter.h"
#include "powerpoint/libreoffice/OfficeOptions.h"

namespace powerpoint {

class LibreOfficeServer;

// Contracts:
// - One office serves export after export (each presentation opened, exported and closed on its
//   own) until it has been idle for options.warmOfficeIdleLimit or the exporter is destroyed; an
//   office that crashed, hung or was cancelled is ended, and the next export starts a fresh one.
// - Every conversation runs on a thread of the exporter's own, which lives as long as the exporter,
//   so that the office's parent-death signal is tied to the exporter and not to the job's thread.
//   ExportSlides blocks the caller until its export is done; exports are served one at a time.
// - The destructor ends the office and leaves nothing behind.
class LibreOfficeExporter : public vellumet::SlideExporter {
public:
    // `options` for every office it starts; their cancel token is replaced by each export's own.
    explicit LibreOfficeExporter(LibreOfficeOptions options = {});
    ~LibreOfficeExporter() override;

    LibreOfficeExporter(const LibreOfficeExporter&) = delete;
    LibreOfficeExporter& operator=(const LibreOfficeExporter&) = delete;

    int GetPowerPointVersion() override;
    std::wstring VersionRefusal() const override;

    // Refuses a source that is not a readable file before any office starts. Otherwise exports
    // through the warm office (starting one when there is none). An office that fails on its own (a
    // crash, or one that cannot be reached while starting) or whose PDF export stalls is replaced
    // by a fresh one for a second and last attempt, which uses the office's own picture export
    // slide by slide; the pictures of a failed attempt are gone by then, so none is doubled. Returns the
    // conversation's result (powerpoint/SlideExport.h).
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                     int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                     const vellumet::CancelToken* cancel) override;

    // Starts the warm office unless it runs (nothing when no office is kept between exports); false,
    // with why in LastFailure(), when it cannot be started.
    bool PrepareForExport(const vellumet::CancelToken* cancel) override;

    // The office's own words for the first thing that failed in the last export, or what is wrong
    // with the installed office after GetPowerPointVersion refused it.
    std::wstring LastFailure() const override;

private:
    int Export(int flags, const std::wstring& sourcePath, const std::wstring& folder, int32_t exportWidth,
               int32_t exportHeight, int32_t openDispId, const vellumet::CancelToken* cancel);
    bool StartWarmOffice(const vellumet::CancelToken* cancel);
    // The server of the warm office, made on first use. On the office thread.
    LibreOfficeServer& WarmServer();
    // Runs `task` on the office thread (starting it on first use) and waits until it is done.
    void OnOfficeThread(const std::function<void()>& task);
    void OfficeThread();

    const LibreOfficeOptions options_;
    std::wstring lastFailure_;                 // written on the office thread, read after a task
    std::unique_ptr<LibreOfficeServer> warm_;  // the office thread's alone

    std::mutex callMutex_;  // one export at a time
    std::mutex mutex_;      // guards what follows
    std::condition_variable wake_;
    const std::function<void()>* task_ = nullptr;
    bool quit_ = false;
    std::thread thread_;
};

}  // namespace powerpoint
