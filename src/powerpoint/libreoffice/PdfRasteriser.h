#pragma once
// The pages of a PDF file as slide pictures, rendered on every core: worker processes
// (vellumet-rasterise, RasteriserProtocol.h) render pages in parallel, and the pictures are written
// one after another in page order as "Slide<n>.png", n from 1, so that their creation times ascend
// in slide order. The pictures are the same bytes whatever the number of workers. No UNO here.
//
// Contracts:
// - RasterisePdf blocks the calling thread until every picture is written, something fails, or
//   `keepGoing` says stop. The workers are killed and reaped before it returns, whichever way it
//   ends; they get a parent-death signal tied to the calling thread.
// - SIGPIPE must be ignored in the process (the office session makes it so): a worker that dies
//   fails the write to it instead of ending the program.
// - The workers run confined as the office does (OfficeConfinement.h), with no folder to write in.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/PixelSize.h"

namespace powerpoint {

using vellumet::PixelSize;

struct RasterRequest {
    std::filesystem::path pdf;
    std::vector<PixelSize> sizes;  // the picture of page i + 1, in pixels, for every page
    std::filesystem::path folder;  // an existing folder without pictures of those names
    int workers = 0;               // 0: one per core this process may use
    std::string program;           // the worker program; empty: DefaultRasteriserProgram()
};

// Polled at least every 50 ms and after each picture; false stops the work (a cancel, or the office
// was stopped).
using KeepGoing = std::function<bool()>;
// Called after each picture has been written.
using PictureWritten = std::function<void(int slide)>;

// True when every page of `request.pdf` became its picture. Otherwise false with why, in words;
// `written` lists every file made (complete or not), for the caller to remove. A PDF whose page
// count differs from sizes.size() fails before any picture is written.
bool RasterisePdf(const RasterRequest& request, const KeepGoing& keepGoing, const PictureWritten& onPicture,
                  std::vector<std::filesystem::path>& written, std::wstring& error);

// The worker program of this build's tree, else the installed one; empty when neither can be run.
std::string DefaultRasteriserProgram();

// The cores this process may run on (at least 1).
int UsableCores();

}  // namespace powerpoint
