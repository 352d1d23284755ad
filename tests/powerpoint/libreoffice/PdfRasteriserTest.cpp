// The page renderer without the office: PDF pages become pictures written in page order, the same
// bytes whatever the number of workers, and every way it can fail stops its workers and says why.

#include "powerpoint/libreoffice/PdfRasteriser.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QImage>
#include <fstream>
#include <sstream>

#include "OfficeTestSupport.h"
#include "common/WideText.h"

namespace powerpoint::test {
namespace {

struct Colour {
    int red, green, blue;
};

// A PDF file of one 400 x 300 point page per colour, each filled with its colour.
void WritePdf(const std::filesystem::path& file, const std::vector<Colour>& pages) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    for (size_t i = 0; i < pages.size(); ++i) {
        const size_t page = objects.size() + 1;
        std::ostringstream content;
        content << pages[i].red / 255.0 << " " << pages[i].green / 255.0 << " " << pages[i].blue / 255.0
                << " rg 0 0 400 300 re f";
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Contents " +
                          std::to_string(page + 1) + " 0 R >>");
        objects.push_back("<< /Length " + std::to_string(content.str().size()) + " >>\nstream\n" +
                          content.str() + "\nendstream");
        kids += std::to_string(page) + " 0 R ";
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages.size()) + " >>";
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    std::ofstream(file, std::ios::binary) << pdf;
}

class PdfRasteriserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (DefaultRasteriserProgram().empty()) {
            GTEST_SKIP() << "vellumet-rasterise is not built";
        }
        // As the office session does for the program: a dead worker fails a write.
        ::signal(SIGPIPE, SIG_IGN);
        WritePdf(pdf_, colours_);
    }
    void TearDown() override { EXPECT_TRUE(ChildProcesses().empty()) << "a worker survived"; }

    RasterRequest Request(const std::string& name, int workers) {
        RasterRequest request;
        request.pdf = pdf_;
        request.folder = temp_.Path() / name;
        std::filesystem::create_directory(request.folder);
        request.workers = workers;
        for (size_t i = 0; i < colours_.size(); ++i) {
            request.sizes.push_back(i == 2 ? PixelSize{90, 50} : PixelSize{160, 120});
        }
        return request;
    }

    const vellumet_test::TempFolder temp_{"vellumet-raster-test-"};
    const std::filesystem::path pdf_ = temp_.Path() / "pages.pdf";
    const std::vector<Colour> colours_ = {{255, 0, 0},  {0, 128, 0},   {0, 0, 255},  {250, 250, 250},
                                          {20, 20, 20}, {200, 100, 0}, {0, 200, 200}};
};

TEST_F(PdfRasteriserTest, WritesEveryPageInOrderAsTheSameBytesWhateverTheWorkerCount) {
    std::vector<std::vector<std::string>> hashes;
    for (int workers : {1, 3}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        const RasterRequest request = Request("workers" + std::to_string(workers), workers);
        std::vector<int> announced;
        std::vector<std::filesystem::path> written;
        std::wstring error;
        ASSERT_TRUE(RasterisePdf(
            request, [] { return true; }, [&](int slide) { announced.push_back(slide); }, written, error))
            << vellumet::ToNative(error);
        EXPECT_EQ(Pictures(request.folder), ExpectedPictures(request.folder, 7));
        EXPECT_EQ(announced, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
        std::vector<std::string> hashesOfRun;
        struct timespec previous {};
        for (int i = 1; i <= 7; ++i) {
            const std::filesystem::path file = request.folder / ("Slide" + std::to_string(i) + ".png");
            EXPECT_EQ(written[static_cast<size_t>(i - 1)], file);
            const QImage picture(QString::fromStdString(file.string()));
            ASSERT_EQ(picture.size(), i == 3 ? QSize(90, 50) : QSize(160, 120)) << file;
            const Colour want = colours_[static_cast<size_t>(i - 1)];
            const QColor got = picture.pixelColor(picture.width() / 2, picture.height() / 2);
            EXPECT_NEAR(got.red(), want.red, 1) << file;
            EXPECT_NEAR(got.green(), want.green, 1) << file;
            EXPECT_NEAR(got.blue(), want.blue, 1) << file;
            EXPECT_FALSE(picture.hasAlphaChannel());
            const struct timespec created = CreationTime(file);
            EXPECT_FALSE(i > 1 && Before(created, previous)) << "pictures not created in page order";
            previous = created;
            hashesOfRun.push_back(HashOf(file));
        }
        hashes.push_back(hashesOfRun);
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}

TEST_F(PdfRasteriserTest, OneRendererTakesFileAfterFileAndNumbersOnUntilItFails) {
    const std::filesystem::path second = temp_.Path() / "second.pdf";
    WritePdf(second, {{0, 0, 0}, {255, 255, 0}});
    PageRenderer renderer({}, 2);
    std::wstring error;
    ASSERT_TRUE(renderer.Start(error)) << vellumet::ToNative(error);
    RasterRequest request = Request("parts", 0);
    std::vector<std::filesystem::path> written;
    ASSERT_TRUE(renderer.Render(request, nullptr, nullptr, written, error)) << vellumet::ToNative(error);
    request.pdf = second;
    request.sizes = {{40, 30}, {40, 30}};
    request.firstSlide = 7;
    std::vector<int> announced;
    ASSERT_TRUE(renderer.Render(
        request, nullptr, [&](int slide) { announced.push_back(slide); }, written, error))
        << vellumet::ToNative(error);
    EXPECT_EQ(announced, (std::vector<int>{8, 9}));
    EXPECT_EQ(Pictures(request.folder), ExpectedPictures(request.folder, 9));
    const QImage yellow(QString::fromStdString((request.folder / "Slide9.png").string()));
    EXPECT_EQ(yellow.pixelColor(20, 15), QColor(255, 255, 0));

    // Between decks no worker holds a file open.
    ASSERT_TRUE(renderer.CloseFiles());
    for (const pid_t worker : ChildProcesses()) {
        std::error_code ec;
        for (const auto& fd :
             std::filesystem::directory_iterator("/proc/" + std::to_string(worker) + "/fd", ec)) {
            const std::filesystem::path target = std::filesystem::read_symlink(fd.path(), ec);
            EXPECT_NE(target.extension(), ".pdf") << "worker " << worker << " holds " << target;
        }
    }

    // A file whose pages do not match breaks the renderer for good.
    request.sizes.resize(3);
    request.firstSlide = 9;
    EXPECT_FALSE(renderer.Render(request, nullptr, nullptr, written, error));
    EXPECT_TRUE(renderer.Broken());
    request.sizes.resize(2);
    EXPECT_FALSE(renderer.Render(request, nullptr, nullptr, written, error));
    EXPECT_EQ(Pictures(request.folder).size(), 9u);
}

TEST_F(PdfRasteriserTest, APageCountThatDiffersFromTheSlidesFailsBeforeAnyPicture) {
    RasterRequest request = Request("short", 2);
    request.sizes.resize(5);
    std::vector<std::filesystem::path> written;
    std::wstring error;
    EXPECT_FALSE(RasterisePdf(request, nullptr, nullptr, written, error));
    EXPECT_NE(error.find(L"7 pages for 5 slides"), std::wstring::npos) << vellumet::ToNative(error);
    EXPECT_TRUE(written.empty());
    EXPECT_TRUE(Pictures(request.folder).empty());
}

TEST_F(PdfRasteriserTest, ABrokenWorkerOrFileFailsWithWhyAndLeavesNoWorker) {
    std::ofstream(temp_.Path() / "words.pdf") << "These are words, not pages.\n";
    struct Case {
        const char* name;
        std::string program;
        std::filesystem::path pdf;
    } cases[] = {
        {"a worker that ends at once", "/bin/false", pdf_},
        {"a worker that is missing", (temp_.Path() / "missing").string(), pdf_},
        {"a file that is no PDF", "", temp_.Path() / "words.pdf"},
        {"a file that is missing", "", temp_.Path() / "missing.pdf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RasterRequest request = Request(c.name, 2);
        request.program = c.program;
        request.pdf = c.pdf;
        std::vector<std::filesystem::path> written;
        std::wstring error;
        EXPECT_FALSE(RasterisePdf(request, nullptr, nullptr, written, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(written.empty());
        EXPECT_TRUE(ChildProcesses().empty());
    }
}

TEST_F(PdfRasteriserTest, StoppingEndsTheWorkersAndSaysSo) {
    const RasterRequest request = Request("stopped", 2);
    int pictures = 0;
    std::vector<std::filesystem::path> written;
    std::wstring error;
    EXPECT_FALSE(RasterisePdf(
        request, [&] { return pictures < 2; }, [&](int) { ++pictures; }, written, error));
    EXPECT_NE(error.find(L"stopped"), std::wstring::npos) << vellumet::ToNative(error);
    EXPECT_EQ(pictures, 2);
    EXPECT_EQ(written.size(), 2u);
    EXPECT_TRUE(ChildProcesses().empty());
}

}  // namespace
}  // namespace powerpoint::test
