// The whole conversation (ExportSlides) against the real office on the shared corpus.

#include <fcntl.h>
#include <sys/stat.h>

#include <QImage>
#include <fstream>

#include "OfficeTestSupport.h"
#include "common/ExportFlags.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/ExportSize.h"

namespace powerpoint::test {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

struct timespec CreationTime(const std::filesystem::path& file) {
    struct statx info {};
    ::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME | STATX_MTIME, &info);
    const statx_timestamp t = (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_mtime;
    return {static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
}

bool Before(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Hidden slides are slides too: the catalogue counts what a PDF export shows.
int ExpectedSlides(const CorpusEntry& entry) {
    return entry.file == "testPPT_various2.pptx" ? 10 : entry.slides;
}

class OfficeCorpus : public OfficeTest {};

TEST_F(OfficeCorpus, EveryOpenableFileGivesOnePicturePerSlideInOrderAtItsOwnAspect) {
    SKIP_WITHOUT_OFFICE();
    for (const CorpusEntry& entry : ReadCatalogue()) {
        if (!entry.opens) {
            continue;
        }
        SCOPED_TRACE(entry.file);
        const std::filesystem::path source = CorpusDir() / entry.file;
        const std::string hashBefore = HashOf(source);
        std::filesystem::path folder;
        ASSERT_EQ(Export(source, 0, kWidth, kHeight, folder), kExportDone);
        EXPECT_EQ(HashOf(source), hashBefore) << "the presentation was changed";

        const int slides = ExpectedSlides(entry);
        ASSERT_EQ(Pictures(folder), ExpectedPictures(folder, slides));
        const PixelSize fit = FitSlideSize(std::llround(entry.pageWidth * 1000),
                                           std::llround(entry.pageHeight * 1000), {kWidth, kHeight});
        struct timespec previous {};
        for (int i = 1; i <= slides; ++i) {
            const std::filesystem::path picture = folder / ("Slide" + std::to_string(i) + ".png");
            const QImage image(QString::fromStdString(picture.string()));
            ASSERT_FALSE(image.isNull()) << picture;
            if (fit == PixelSize{kWidth, kHeight}) {
                EXPECT_EQ(image.width(), kWidth) << picture;
                EXPECT_EQ(image.height(), kHeight) << picture;
            } else {
                // The office keeps the page in 1/100 mm, so the rounding may differ by a pixel.
                EXPECT_NEAR(image.width(), fit.width, 1) << picture;
                EXPECT_NEAR(image.height(), fit.height, 1) << picture;
                EXPECT_TRUE(image.width() == kWidth || image.height() == kHeight) << picture;
            }
            const struct timespec created = CreationTime(picture);
            EXPECT_TRUE(i == 1 || Before(previous, created)) << "pictures not created in slide order";
            previous = created;
        }
    }
}

}  // namespace
}  // namespace powerpoint::test
