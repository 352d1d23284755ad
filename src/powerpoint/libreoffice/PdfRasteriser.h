#pragma once
// The pages of PDF files as slide pictures, rendered on every core: worker processes
// (vellumet-rasterise, RasteriserProtocol.h) render pages in parallel, and the pictures are written
// one after another in page order as "Slide<n>.png", so that their creation times ascend in slide
// order. The pictures are the same bytes whatever the number of workers. No UNO here.
//
// Contracts:
// - Render and RasterisePdf block the calling thread until every picture of the file is written,
//   something fails, or `keepGoing` says stop.
// - The workers get a parent-death signal tied to the thread that starts them: that thread must
//   outlive the PageRenderer. They are killed and reaped when it is destroyed (RasterisePdf: before
//   it returns).
// - SIGPIPE must be ignored in the process (the office session makes it so): a worker that dies
//   fails the write to it instead of ending the program.
// - The workers run confined as the office does (OfficeConfinement.h), with no folder to write in.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/PixelSize.h"

namespace powerpoint {

using vellumet::PixelSize;

struct RasterRequest {
    std::filesystem::path pdf;
    std::vector<PixelSize> sizes;  // the picture of page i + 1, in pixels, for every page
    std::filesystem::path folder;  // an existing folder without pictures of those names
    int firstSlide = 0;            // page i + 1 becomes "Slide<firstSlide + i + 1>.png"
    int workers = 0;               // 0: one per core this process may use
    std::string program;           // the worker program; empty: DefaultRasteriserProgram()
};

// Polled at least every 50 ms and after each picture; false stops the work (a cancel, or the office
// was stopped).
using KeepGoing = std::function<bool()>;
// Called after each picture has been written.
using PictureWritten = std::function<void(int slide)>;

// Worker processes that render one PDF file after another. After a failed Render every later one
// fails too (Broken).
class PageRenderer {
public:
    // `program`: empty for DefaultRasteriserProgram(). `workers`: 0 for one per core this process
    // may use; never more than `mostPages`, the most pages a file will have, when that is above 0.
    PageRenderer(std::string program, int workers, int mostPages = 0);
    ~PageRenderer();
    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    // Starts the workers, if they are not running yet; their parent-death signal follows the
    // calling thread. False, with why, when they cannot be started.
    bool Start(std::wstring& error);
    bool Broken() const { return broken_; }

    // As RasterisePdf, with the workers started by Start (or here, when it was not called), at most
    // request.workers of them when that is above 0; request.program is not looked at. One call at a
    // time, from any thread.
    bool Render(const RasterRequest& request, const KeepGoing& keepGoing, const PictureWritten& onPicture,
                std::vector<std::filesystem::path>& written, std::wstring& error);

    // Has every running worker close its file, so that nothing of a deck stays open after it. False
    // (and Broken) when a worker does not answer.
    bool CloseFiles();

private:
    struct Workers;

    std::string program_;
    int workerCount_;
    std::unique_ptr<Workers> workers_;
    bool broken_ = false;
};

// True when every page of `request.pdf` became its picture. Otherwise false with why, in words;
// `written` lists every file made (complete or not), for the caller to remove. A PDF whose page
// count differs from sizes.size() fails before any picture is written.
bool RasterisePdf(const RasterRequest& request, const KeepGoing& keepGoing, const PictureWritten& onPicture,
                  std::vector<std::filesystem::path>& written, std::wstring& error);

// The worker program: for code running in its build tree that build's worker, else the one
// installed beside the office module (<libexecdir>/vellumet/); empty when it cannot be run.
std::string DefaultRasteriserProgram();

// The cores this process may run on (at least 1).
int UsableCores();

}  // namespace powerpoint
