#pragma once
// What the command-line tests share: the built program, a throwaway home for one run (settings
// store, temporary folder, output folder), slide pictures made with QImage, and the checks of a
// produced PDF by independent readers.

#include <filesystem>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/TempFolder.h"

namespace clitest {

using vellumet_test::ProcessOptions;
using vellumet_test::ProcessResult;
using vellumet_test::RunProcess;

// The vellumet-convert under test.
std::string ConvertProgram();

// A folder of its own for one test, removed with everything in it at the end. Runs get
// XDG_CONFIG_HOME=<root>/config and TMPDIR=<root>/tmp, so nothing touches the user's store.
class Sandbox {
public:
    Sandbox();

    const std::filesystem::path& Root() const { return root_; }
    std::filesystem::path Config() const { return root_ / "config"; }
    std::filesystem::path Temp() const { return root_ / "tmp"; }
    std::filesystem::path StoreFile() const { return Config() / "vellumet" / "settings.db"; }

    // Runs vellumet-convert with `args` in the sandbox's environment, plus `extra` options.
    ProcessResult Run(const std::vector<std::string>& args, ProcessOptions extra = {}) const;

    // Entries left in the temporary folder.
    std::vector<std::string> TempLeftovers() const;

private:
    vellumet_test::TempFolder folder_{"vellumet-cli-test-"};
    std::filesystem::path root_ = folder_.Path();
};

// Writes `count` PNG pictures of width x height into `folder` (created), one after another, named
// so that their names sort in the opposite order to their writing order. Each picture is filled
// with its own grey level. Returns the paths in writing order.
std::vector<std::filesystem::path> WriteSlidePictures(const std::filesystem::path& folder, int count,
                                                      int width, int height);

// Writes `count` copies of `picture` into `folder`, one after another (copy-1.png, ...).
void CopyPictures(const std::filesystem::path& picture, const std::filesystem::path& folder, int count);

struct PdfFacts {
    bool qpdfOk = false;
    std::string qpdfOutput;
    int pages = -1;
    int pageWidth = -1;  // of the first page, in points
    int pageHeight = -1;
};

// qpdf --check and pdfinfo of `file`.
PdfFacts InspectPdf(const std::filesystem::path& file);

// Adds a test failure unless `pdf` passes qpdf --check and has `pages` pages, the first of
// width x height points.
void ExpectSoundPdf(const std::filesystem::path& pdf, int pages, int width, int height);

// The whole content of `file`; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);

// The stderr text without progress-bar redraws (each "\r...\x1b[K").
std::string WithoutProgress(const std::string& err);

}  // namespace clitest
