// The whole conversation (ExportSlides) against the real office on the shared corpus.

#include <fcntl.h>
#include <sys/stat.h>

#include <QImage>
#include <fstream>
#include <iostream>

#include "OfficeTestSupport.h"
#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/SlideExport.h"
#include "powerpoint/libreoffice/ExportSize.h"

namespace powerpoint::test {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

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
            // Pictures made within one tick of the file system's clock share their creation time;
            // their names keep them in order then.
            const struct timespec created = CreationTime(picture);
            EXPECT_FALSE(i > 1 && Before(created, previous)) << "pictures not created in slide order";
            previous = created;
        }
    }
}

QImage Picture(const std::filesystem::path& folder, int slide) {
    return QImage(QString::fromStdString((folder / ("Slide" + std::to_string(slide) + ".png")).string()));
}

// The pictures rendered from the office's PDF export against the office's own picture export, slide
// by slide: each is like its own slide's picture, and less like that of the next slide (where the
// office draws the two differently). Only anti-aliasing differs, except where the office fits
// shrinking text to its box: it spaces the lines a little differently in the two exports
// (41246-1.ppt slide 13, 0.896), which sets the floor.
TEST_F(OfficeCorpus, EveryPictureLooksLikeTheOfficesOwnPictureOfItsSlide) {
    SKIP_WITHOUT_OFFICE();
    constexpr double kLikenessFloor = 0.88;
    LibreOfficeOptions slideBySlide = Options();
    slideBySlide.exportThroughPdf = false;
    double leastLikeOwn = 1.0;
    double mostLikeOther = -1.0;
    for (const CorpusEntry& entry : ReadCatalogue()) {
        if (!entry.opens) {
            continue;
        }
        SCOPED_TRACE(entry.file);
        const std::filesystem::path source = CorpusDir() / entry.file;
        std::filesystem::path rendered;
        std::filesystem::path office;
        ASSERT_EQ(Export(source, 0, kWidth, kHeight, rendered), kExportDone);
        ASSERT_EQ(Export(source, 0, kWidth, kHeight, office, slideBySlide), kExportDone);
        const int slides = ExpectedSlides(entry);
        ASSERT_EQ(Pictures(rendered), ExpectedPictures(rendered, slides));
        ASSERT_EQ(Pictures(office), ExpectedPictures(office, slides));
        for (int i = 1; i <= slides; ++i) {
            const QImage ours = Picture(rendered, i);
            const QImage theirs = Picture(office, i);
            ASSERT_EQ(ours.size(), theirs.size()) << "slide " << i;
            const double own = Likeness(ours, theirs);
            EXPECT_GE(own, kLikenessFloor) << "slide " << i;
            leastLikeOwn = std::min(leastLikeOwn, own);
            const int next = i % slides + 1;
            const QImage nextSlide = Picture(office, next);
            if (next != i && Likeness(theirs, nextSlide) < kLikenessFloor) {
                const double other = Likeness(ours, nextSlide);
                EXPECT_LT(other, own) << "slide " << i << " is more like slide " << next;
                mostLikeOther = std::max(mostLikeOther, other);
            }
        }
    }
    std::cout << "likeness to the own slide at least " << leastLikeOwn << ", to a different slide at most "
              << mostLikeOther << "\n";
}

TEST_F(OfficeCorpus, OmitBackgroundHidesMasterShapesAndKeepsTheBackgroundFill) {
    SKIP_WITHOUT_OFFICE();
    // Two slides over a gradient background fill, with a slide number on the master.
    const std::filesystem::path source = CorpusDir() / "bug45124.ppt";
    std::filesystem::path plain;
    std::filesystem::path omitted;
    ASSERT_EQ(Export(source, 0, kWidth, kHeight, plain), kExportDone);
    ASSERT_EQ(Export(source, ExportFlags::OmitBackground, kWidth, kHeight, omitted), kExportDone);
    ASSERT_EQ(Pictures(omitted).size(), 2u);
    for (const char* name : {"Slide1.png", "Slide2.png"}) {
        const QImage a(QString::fromStdString((plain / name).string()));
        const QImage b(QString::fromStdString((omitted / name).string()));
        const double share = DifferingShare(a, b);
        EXPECT_GT(share, 0.0) << name << ": the master's shapes are still shown";
        EXPECT_LT(share, 0.05) << name << ": more than the master's shapes went";
    }
}

TEST_F(OfficeCorpus, OmitShadowSwitchesShadowsOff) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path source = CorpusDir() / "with_japanese.pptx";
    std::filesystem::path plain;
    std::filesystem::path again;
    std::filesystem::path omitted;
    ASSERT_EQ(Export(source, 0, kWidth, kHeight, plain), kExportDone);
    ASSERT_EQ(Export(source, 0, kWidth, kHeight, again), kExportDone);
    ASSERT_EQ(Export(source, ExportFlags::OmitShadow, kWidth, kHeight, omitted), kExportDone);
    const QImage a(QString::fromStdString((plain / "Slide1.png").string()));
    const QImage b(QString::fromStdString((again / "Slide1.png").string()));
    const QImage c(QString::fromStdString((omitted / "Slide1.png").string()));
    ASSERT_EQ(DifferingShare(a, b), 0.0) << "the plain export is not repeatable";
    EXPECT_GT(DifferingShare(a, c), 0.0) << "the shadows are still drawn";
}

TEST_F(OfficeCorpus, BothOmitOptionsTogetherOnALargeDeck) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path source = CorpusDir() / "alterman_security.ppt";
    const std::string hashBefore = HashOf(source);
    std::filesystem::path folder;
    ASSERT_EQ(Export(source, ExportFlags::OmitBackground | ExportFlags::OmitShadow, kWidth, kHeight, folder),
              kExportDone);
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 23));
    EXPECT_EQ(HashOf(source), hashBefore);
}

TEST_F(OfficeCorpus, FilesThatCannotBeOpenedGiveNoPictures) {
    SKIP_WITHOUT_OFFICE();
    std::vector<std::filesystem::path> sources;
    for (const CorpusEntry& entry : ReadCatalogue()) {
        if (!entry.opens) {
            sources.push_back(CorpusDir() / entry.file);
        }
    }
    ASSERT_FALSE(sources.empty());
    // Made here: an empty file, a missing one, a folder, and words, a table and a picture under a
    // deck's name.
    std::ofstream(root_ / "empty.ppt");
    std::ofstream(root_ / "words.ppt") << "These are words, not slides.\n";
    std::filesystem::copy_file(CorpusDir() / "CATALOGUE.tsv", root_ / "table.pptx");
    std::filesystem::create_directories(root_ / "folder.ppt");
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(QString::fromStdString((root_ / "picture.ppt").string()), "PNG"));
    sources.push_back(root_ / "empty.ppt");
    sources.push_back(root_ / "missing.ppt");
    sources.push_back(root_ / "folder.ppt");
    sources.push_back(root_ / "words.ppt");
    sources.push_back(root_ / "table.pptx");
    sources.push_back(root_ / "picture.ppt");
    for (const auto& source : sources) {
        SCOPED_TRACE(source.filename().string());
        std::filesystem::path folder;
        EXPECT_EQ(
            Export(source, ExportFlags::OmitBackground | ExportFlags::OmitShadow, kWidth, kHeight, folder),
            kExportCallFailed);
        EXPECT_TRUE(Pictures(folder).empty());
    }
}

TEST_F(OfficeCorpus, PathsBeyondAsciiWork) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path dir = root_ / vellumet::ToPath(L"Pr\u00e4sentation \u00fc #1%");
    std::filesystem::create_directories(dir);
    const std::filesystem::path source = dir / vellumet::ToPath(L"Folie \u00f1 \u65e5\u672c.ppt");
    std::filesystem::copy_file(CorpusDir() / "Single_Coloured_Page.ppt", source);
    std::filesystem::path folder;
    ASSERT_EQ(Export(source, 0, kWidth, kHeight, folder), kExportDone);
    EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 1));
    // Opened read-only: no lock file or backup appears beside the presentation.
    std::vector<std::filesystem::path> beside;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        beside.push_back(entry.path());
    }
    EXPECT_EQ(beside, std::vector<std::filesystem::path>{source});
}

}  // namespace
}  // namespace powerpoint::test
