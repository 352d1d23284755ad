#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "FakePicture.h"
#include "common/WideText.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"
#include "pdfwriter/SavePdf.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

namespace fs = std::filesystem;
using namespace PDFWriter;

namespace {

class SavePdfTest : public ::testing::Test {
protected:
    std::wstring PathOf(const std::string& name) const { return vellumet::FromPath(folder_ / name); }

    // Runs a shell command; returns its exit status and puts its output and errors in `output`.
    static int Run(const std::string& command, std::string& output) {
        const vellumet_test::ProcessResult result = vellumet_test::RunShell(command + " 2>&1");
        output = result.out;
        return result.exitCode;
    }

    static std::string ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    size_t EntriesInFolder() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
    }

    const vellumet_test::TempFolder temp_{"vellumet-save-"};
    const fs::path folder_ = temp_.Path();
};

// A finished two-page document: a red block and a blue block on 600 x 800 pages.
void BuildTwoPages(PDF& document) {
    FakePicture red(40, 30, 0, 0, 255);
    FakePicture blue(30, 40, 255, 0, 0);
    for (FakePicture* picture : {&red, &blue}) {
        auto* image = new ImageObject(&document, picture, L"PNG", picture->Width(), picture->Height());
        auto* page = new Page(&document, {600, 800});
        image->x = 10;
        image->y = 20;
        page->PlaceImage(*image);
    }
    document.Finish();
}

}  // namespace

TEST_F(SavePdfTest, SavedFilePassesIndependentReaders) {
    PDF document;
    BuildTwoPages(document);
    const std::wstring path = PathOf("deck \u00fcber.pdf");
    ASSERT_TRUE(SavePdf(path, document));
    EXPECT_EQ(EntriesInFolder(), 1u) << "no temporary file is left beside the result";

    const std::string native = vellumet::ToNative(path);
    std::string output;
    EXPECT_EQ(Run("qpdf --check '" + native + "'", output), 0) << output;
    ASSERT_EQ(Run("pdfinfo '" + native + "'", output), 0) << output;
    EXPECT_NE(output.find("Pages:           2\n"), std::string::npos) << output;
    EXPECT_NE(output.find("Page size:       600 x 800 pts"), std::string::npos) << output;

    // One pixel per unit: the red block renders at (10, 20) from the top-left corner.
    const std::string prefix = (folder_ / "page").string();
    ASSERT_EQ(Run("pdftoppm -r 72 -f 1 -l 1 '" + native + "' '" + prefix + "'", output), 0) << output;
    const std::string ppm = ReadFile(folder_ / "page-1.ppm");
    ASSERT_EQ(ppm.compare(0, 15, "P6\n600 800\n255\n"), 0);
    auto pixel = [&](int x, int y) { return ppm.substr(15 + static_cast<size_t>(y * 600 + x) * 3, 3); };
    EXPECT_EQ(pixel(10, 20), std::string("\xFF\x00\x00", 3));
    EXPECT_EQ(pixel(49, 49), std::string("\xFF\x00\x00", 3));
    // Poppler's raster paints one extra column and row past an image's right and bottom edges.
    EXPECT_EQ(pixel(51, 20), std::string("\xFF\xFF\xFF", 3));
    EXPECT_EQ(pixel(10, 51), std::string("\xFF\xFF\xFF", 3));
    EXPECT_EQ(pixel(9, 20), std::string("\xFF\xFF\xFF", 3));
}

TEST_F(SavePdfTest, ReplacesAnExistingFileCompletely) {
    const fs::path target = folder_ / "out.pdf";
    std::ofstream(target) << std::string(1 << 20, 'x');
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    PDF document;
    BuildTwoPages(document);
    ASSERT_TRUE(SavePdf(vellumet::FromPath(target), document));
    const std::string written = ReadFile(target);
    EXPECT_EQ(written.size(), static_cast<size_t>(document.Buffer().Length()));
    EXPECT_EQ(written.compare(0, 8, "%PDF-1.4"), 0);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
        << "a replaced file keeps its permissions";
}

TEST_F(SavePdfTest, FailureLeavesNothingNewAndTheOldFileUntouched) {
    PDF document;
    BuildTwoPages(document);
    EXPECT_FALSE(SavePdf(PathOf("missing/out.pdf"), document));
    EXPECT_FALSE(fs::exists(folder_ / "missing"));

    // A folder standing where the file should go cannot be replaced.
    fs::create_directory(folder_ / "taken.pdf");
    std::ofstream(folder_ / "taken.pdf" / "inside") << "keep";
    EXPECT_FALSE(SavePdf(PathOf("taken.pdf"), document));
    EXPECT_EQ(ReadFile(folder_ / "taken.pdf" / "inside"), "keep");

    // A document whose buffer overflowed is never written over a good file.
    std::ofstream(folder_ / "good.pdf") << "previous";
    PDF broken;
    const char byte = 0;
    broken.Buffer().Append(&byte, INT32_MAX);
    ASSERT_TRUE(broken.Failed());
    EXPECT_FALSE(SavePdf(PathOf("good.pdf"), broken));
    EXPECT_EQ(ReadFile(folder_ / "good.pdf"), "previous");

    EXPECT_EQ(EntriesInFolder(), 2u) << "no temporary file is left behind";
}

TEST_F(SavePdfTest, NamesUpToTheLimitAreSaved) {
    PDF document;
    BuildTwoPages(document);
    // Base names of 251 bytes: the longest whose ".pdf" name fits 255 bytes, in ASCII and in
    // two-byte UTF-8 (where a shortened temporary name must not end inside a character).
    std::string umlauts = "x";
    while (umlauts.size() < 251) {
        umlauts += "\u00fc";
    }
    for (const std::string& base : {std::string(251, 'd'), umlauts}) {
        ASSERT_EQ(base.size(), 251u);
        const std::wstring path = vellumet::FromPath(folder_ / (base + ".pdf"));
        EXPECT_TRUE(SavePdf(path, document));
        EXPECT_EQ(ReadFile(folder_ / (base + ".pdf")).size(),
                  static_cast<size_t>(document.Buffer().Length()));
    }
    EXPECT_EQ(EntriesInFolder(), 2u) << "no temporary file is left beside the results";
}

// Under a file-size limit smaller than the document the save fails like on a full disk: the program
// is not ended by SIGXFSZ and no temporary file is left. Run in a child, which has the limit.
TEST_F(SavePdfTest, AFileSizeLimitFailsTheSaveAndLeavesNothing) {
    PDF document;
    BuildTwoPages(document);
    const auto limit = static_cast<rlim_t>(document.Buffer().Length() / 2);
    const std::wstring path = PathOf("limited.pdf");
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGXFSZ, SIG_DFL);
        rlimit fileSize{limit, limit};
        setrlimit(RLIMIT_FSIZE, &fileSize);
        const bool saved = SavePdf(path, document);
        struct sigaction after {};
        sigaction(SIGXFSZ, nullptr, &after);
        // A handler, not SIG_IGN, so that programs started later get the default back.
        _exit(saved ? 1 : (after.sa_handler == SIG_IGN || after.sa_handler == SIG_DFL) ? 2 : 0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "1: saved, 2: SIGXFSZ ignored";
    EXPECT_EQ(EntriesInFolder(), 0u) << "no temporary file is left behind";
}
