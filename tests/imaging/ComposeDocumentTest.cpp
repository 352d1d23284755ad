#include "imaging/ComposeDocument.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ImagingTestSupport.h"
#include "imaging/PageLayout.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/Page.h"

using namespace imaging_test;

namespace {

struct Layout {
    int32_t w, h, pageWidth, pageHeight;
    bool turns;
    int32_t fitWidth, fitHeight;
    double x, y;
};

// Flat blocks of colour, different in every corner: they survive scaling-free paths exactly and
// show any turn or flip.
QImage Blocks(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QPainter painter(&image);
    painter.fillRect(0, 0, w / 2, h / 3, QColor(200, 30, 30));
    painter.fillRect(w / 2, 0, w - w / 2, h / 3, QColor(30, 160, 40));
    painter.fillRect(0, h / 3, w / 4, h - h / 3, QColor(20, 40, 220));
    painter.fillRect(w / 3, h / 2, w / 3, h / 4, QColor(0, 0, 0));
    painter.fillRect(w - 5, h - 5, 5, 5, QColor(255, 200, 0));
    painter.end();
    return image;
}

// One-pixel checkerboard: any resampling would change it.
QImage Checkerboard(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, (x + y) % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

QImage TurnedLeft(const QImage& image) {
    return image.transformed(QTransform().rotate(270));
}

std::vector<uint8_t> Repeat(std::vector<uint8_t> row, int times) {
    std::vector<uint8_t> out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::string FinishedBytes(PDFWriter::PDF& document) {
    FixClock(document);
    document.Finish();
    return std::string(reinterpret_cast<const char*>(document.Buffer().Data()),
                       static_cast<size_t>(document.Buffer().Length()));
}

}  // namespace

TEST(PageLayoutTest, TurnsFitsAndCentres) {
    const Layout rows[] = {
        // A 1024 x 768 slide turned for a 600 x 800 page: equal ratios, the page exactly.
        {768, 1024, 600, 800, false, 600, 800, 0, 0},
        // The same on the 784 x 1150 page: 1045.33 truncated, 105 / 2 truncated.
        {768, 1024, 784, 1150, false, 784, 1045, 0, 52},
        // A pair of 1024 x 768 slides on 600 x 800: 533.33 truncated, centred at 33.
        {1024, 1536, 600, 800, false, 533, 800, 33, 0},
        // The export size, turned, is the fit: 784 / (784 / 1045) is exactly 1045.
        {784, 1045, 784, 1150, false, 784, 1045, 0, 52},
        // Landscape page, wider than the picture.
        {400, 300, 1000, 500, false, 666, 500, 167, 0},
    };
    for (const Layout& row : rows) {
        const imaging::Fit fit = imaging::FitToPage(row.w, row.h, row.pageWidth, row.pageHeight);
        EXPECT_EQ(fit.width, row.fitWidth) << row.w << "x" << row.h;
        EXPECT_EQ(fit.height, row.fitHeight) << row.w << "x" << row.h;
        const imaging::Placement at = imaging::CentreOnPage(fit, row.pageWidth, row.pageHeight);
        EXPECT_EQ(at.x, row.x);
        EXPECT_EQ(at.y, row.y);
        EXPECT_EQ(imaging::NeedsQuarterTurn(row.w, row.h, row.pageWidth, row.pageHeight), row.turns);
    }
    EXPECT_TRUE(imaging::NeedsQuarterTurn(1024, 768, 600, 800));
    EXPECT_TRUE(imaging::NeedsQuarterTurn(768, 1024, 800, 600));
    EXPECT_FALSE(imaging::NeedsQuarterTurn(500, 500, 600, 800)) << "a square picture never turns";
    EXPECT_FALSE(imaging::NeedsQuarterTurn(1024, 768, 700, 700)) << "a square page turns nothing";
    // Extreme ratios stay within the page and never overflow.
    const imaging::Fit thin = imaging::FitToPage(1, 20000, 784, 1150);
    EXPECT_EQ(thin.width, 0);
    EXPECT_EQ(thin.height, 1150);
    const imaging::Fit wide = imaging::FitToPage(40000, 1, INT32_MAX, INT32_MAX);
    EXPECT_EQ(wide.width, INT32_MAX);
    EXPECT_EQ(wide.height, 53687);
}

TEST(ComposeDocumentTest, RefusesInvalidArguments) {
    TempFolder folder;
    const std::vector<std::wstring> one{SavePng(Solid(8, 6, Qt::red), folder.File("a.png"))};
    EXPECT_FALSE(ComposeDocument({}, 600, 800, 1));
    EXPECT_FALSE(ComposeDocument(one, 0, 800, 1));
    EXPECT_FALSE(ComposeDocument(one, 600, -1, 1));
    EXPECT_FALSE(ComposeDocument(one, 600, 800, 0));
    EXPECT_FALSE(ComposeDocument(one, 600, 800, 3));
    // Nothing decodable is still a document, without pages.
    std::unique_ptr<PDFWriter::PDF> empty = ComposeDocument({folder.File("missing.png")}, 600, 800, 1);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Pages().empty());
}

TEST(ComposeDocumentTest, SlideIsTurnedScaledAndCentredWithExactOperators) {
    TempFolder folder;
    const std::vector<std::wstring> slides{SavePng(Blocks(1024, 768), folder.File("s1.png")),
                                           SavePng(Blocks(1024, 768), folder.File("s2.png"))};
    std::unique_ptr<PDFWriter::PDF> document = ComposeDocument(slides, 784, 1150, 1);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->Images().size(), 2u);
    ASSERT_EQ(document->Pages().size(), 2u);
    const PDFWriter::ImageObject& first = *document->Images()[0];
    EXPECT_EQ(first.width, 784);
    EXPECT_EQ(first.height, 1045);
    EXPECT_EQ(first.x, 0);
    EXPECT_EQ(first.y, 52);
    EXPECT_EQ(first.number, 1);
    EXPECT_EQ(document->Images()[1]->number, 2);
    EXPECT_EQ(document->Pages()[0]->width, 784);
    EXPECT_EQ(document->Pages()[0]->height, 1150);
    EXPECT_EQ(PageContent(*document, 0), "q\n784.000000 0 0 1045.000000 0.000000 53.000000 cm\n/Im1 Do\nQ\n");
    EXPECT_EQ(PageContent(*document, 1), "q\n784.000000 0 0 1045.000000 0.000000 53.000000 cm\n/Im2 Do\nQ\n");
    // The top of the slide (red on its left half, green on its right) ends on the page's left.
    const std::vector<uint8_t> rgb = ImagePixels(*document, 0);
    ASSERT_EQ(rgb.size(), 784u * 1045 * 3);
    const auto at = [&rgb](size_t x, size_t y) {
        const size_t i = (y * 784 + x) * 3;
        return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
    };
    EXPECT_EQ(at(10, 1040), 0xC81E1Eu) << "the slide's top-left corner is at the bottom left";
    EXPECT_EQ(at(10, 10), 0x1EA028u) << "the slide's top-right corner is at the top left";

    std::unique_ptr<PDFWriter::PDF> small = ComposeDocument({slides[0]}, 600, 800, 1);
    ASSERT_TRUE(small);
    EXPECT_EQ(PageContent(*small, 0), "q\n600.000000 0 0 800.000000 0.000000 0.000000 cm\n/Im1 Do\nQ\n");
}

TEST(ComposeDocumentTest, PictureThatAlreadyFitsIsEmbeddedWithoutRedrawing) {
    TempFolder folder;
    const QImage slide = Checkerboard(1045, 784);
    std::unique_ptr<PDFWriter::PDF> document =
        ComposeDocument({SavePng(slide, folder.File("s.png"))}, 784, 1150, 1);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->Images().size(), 1u);
    EXPECT_EQ(ImagePixels(*document, 0), RgbBytes(TurnedLeft(slide)));
}

TEST(ComposeDocumentTest, PairsStackTwoSlidesWithARule) {
    TempFolder folder;
    const QImage top = Blocks(40, 30);
    const std::vector<std::wstring> slides{SavePng(top, folder.File("1.png")),
                                           SavePng(Solid(20, 50, QColor(10, 20, 30)), folder.File("2.png")),
                                           SavePng(Blocks(40, 30), folder.File("3.png"))};
    // The 40 x 60 pair fits a 40 x 60 page as it is, so its pixels arrive unchanged.
    std::unique_ptr<PDFWriter::PDF> document = ComposeDocument(slides, 40, 60, 2);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->Pages().size(), 2u);
    const std::vector<uint8_t> grey = Repeat({128, 128, 128}, 40);
    const std::vector<uint8_t> white = Repeat({255, 255, 255}, 40);

    // The second slide is stretched to the first one's size, whatever its aspect.
    std::vector<uint8_t> expected = RgbBytes(top);
    expected.insert(expected.end(), grey.begin(), grey.end());
    const std::vector<uint8_t> lower = Repeat({10, 20, 30}, 40 * 29);
    expected.insert(expected.end(), lower.begin(), lower.end());
    EXPECT_EQ(ImagePixels(*document, 0), expected);

    // The odd slide out: its lower half keeps the new bitmap's white, and the rule is drawn.
    expected = RgbBytes(top);
    expected.insert(expected.end(), grey.begin(), grey.end());
    const std::vector<uint8_t> paper = Repeat(white, 29);
    expected.insert(expected.end(), paper.begin(), paper.end());
    EXPECT_EQ(ImagePixels(*document, 1), expected);

    // Two 1024 x 768 slides on 600 x 800: a 1024 x 1536 pair, not turned, fitted to 533 x 800.
    const std::vector<std::wstring> big{SavePng(Blocks(1024, 768), folder.File("b1.png")),
                                        SavePng(Blocks(1024, 768), folder.File("b2.png"))};
    std::unique_ptr<PDFWriter::PDF> fitted = ComposeDocument(big, 600, 800, 2);
    ASSERT_TRUE(fitted);
    ASSERT_EQ(fitted->Images().size(), 1u);
    EXPECT_EQ(PageContent(*fitted, 0), "q\n533.000000 0 0 800.000000 33.000000 0.000000 cm\n/Im1 Do\nQ\n");
}

TEST(ComposeDocumentTest, UnreadablePicturesCostTheirPageOnly) {
    TempFolder folder;
    WriteBytes(folder.File("bad.png"), std::string("\x89PNG\r\n\x1a\nbroken", 14));
    const std::wstring red = SavePng(Solid(40, 30, QColor(255, 0, 0)), folder.File("red.png"));
    const std::wstring blue = SavePng(Solid(40, 30, QColor(0, 0, 255)), folder.File("blue.png"));
    const std::wstring bad = folder.File("bad.png");

    // One per page: the pages that remain keep their order.
    std::unique_ptr<PDFWriter::PDF> singles = ComposeDocument({red, bad, blue}, 40, 30, 1);
    ASSERT_TRUE(singles);
    ASSERT_EQ(singles->Pages().size(), 2u);
    EXPECT_EQ(ImagePixels(*singles, 0), Repeat({255, 0, 0}, 40 * 30));
    EXPECT_EQ(ImagePixels(*singles, 1), Repeat({0, 0, 255}, 40 * 30));
    EXPECT_EQ(PageContent(*singles, 1), "q\n40.000000 0 0 30.000000 0.000000 0.000000 cm\n/Im2 Do\nQ\n");

    // A pair whose first picture is unreadable has no page, and its second slide is not shown.
    std::unique_ptr<PDFWriter::PDF> pairs = ComposeDocument({bad, red, blue, red}, 40, 60, 2);
    ASSERT_TRUE(pairs);
    ASSERT_EQ(pairs->Pages().size(), 1u);
    std::vector<uint8_t> expected = Repeat({0, 0, 255}, 40 * 30);
    const std::vector<uint8_t> rule = Repeat({128, 128, 128}, 40);
    expected.insert(expected.end(), rule.begin(), rule.end());
    const std::vector<uint8_t> lower = Repeat({255, 0, 0}, 40 * 29);
    expected.insert(expected.end(), lower.begin(), lower.end());
    EXPECT_EQ(ImagePixels(*pairs, 0), expected);

    // A pair whose second picture is unreadable has a white lower half under the rule.
    std::unique_ptr<PDFWriter::PDF> halves = ComposeDocument({red, bad}, 40, 60, 2);
    ASSERT_TRUE(halves);
    ASSERT_EQ(halves->Pages().size(), 1u);
    expected = Repeat({255, 0, 0}, 40 * 30);
    expected.insert(expected.end(), rule.begin(), rule.end());
    const std::vector<uint8_t> paper = Repeat({255, 255, 255}, 40 * 29);
    expected.insert(expected.end(), paper.begin(), paper.end());
    EXPECT_EQ(ImagePixels(*halves, 0), expected);

    // A picture beyond the side limit is refused like an unreadable one.
    const std::wstring huge =
        SavePng(Solid(PDFWriter::kMaxImageSide + 1, 2, Qt::red), folder.File("huge.png"));
    std::unique_ptr<PDFWriter::PDF> limited = ComposeDocument({huge, blue}, 40, 30, 1);
    ASSERT_TRUE(limited);
    ASSERT_EQ(limited->Pages().size(), 1u);
    EXPECT_EQ(ImagePixels(*limited, 0), Repeat({0, 0, 255}, 40 * 30));

    // A page too large for any image object gets no page rather than an empty image.
    std::unique_ptr<PDFWriter::PDF> vast = ComposeDocument({red}, 40000, 30000, 1);
    ASSERT_TRUE(vast);
    EXPECT_TRUE(vast->Pages().empty());
}

TEST(ComposeDocumentTest, ParallelOutputIsIdenticalToOneThread) {
    TempFolder folder;
    std::vector<std::wstring> slides;
    for (int i = 0; i < 11; ++i) {
        const std::string name = "slide" + std::to_string(i) + ".png";
        QImage picture = i % 3 == 0 ? Blocks(320 + i, 240) : Checkerboard(240, 300 + i);
        if (i == 5) {
            WriteBytes(folder.File(name), "damaged");
        } else {
            SavePng(picture, folder.File(name));
        }
        slides.push_back(folder.File(name));
    }
    using vellumet::Palette;
    for (const Palette palette : {Palette::Rgb, Palette::Gray, Palette::Gray16}) {
        const vellumet::PageColours colours{palette, vellumet::Dither::Ordered};
        for (int32_t perPage : {1, 2}) {
            std::unique_ptr<PDFWriter::PDF> reference =
                ComposeDocument(slides, 600, 800, perPage, colours, nullptr, nullptr, 1);
            ASSERT_TRUE(reference);
            const std::string expected = FinishedBytes(*reference);
            for (int32_t threads : {2, 3, 8, 0}) {
                std::vector<vellumet::LeftOutPicture> leftOut;
                std::unique_ptr<PDFWriter::PDF> parallel =
                    ComposeDocument(slides, 600, 800, perPage, colours, nullptr, &leftOut, threads);
                ASSERT_TRUE(parallel);
                EXPECT_TRUE(FinishedBytes(*parallel) == expected)
                    << static_cast<int>(palette) << ", " << perPage << " per page, " << threads << " threads";
                // The damaged sixth picture: no page of its own, or a white lower half.
                ASSERT_EQ(leftOut.size(), 1u);
                EXPECT_EQ(leftOut[0].index, 5u);
                EXPECT_EQ(leftOut[0].reason, vellumet::LeftOutReason::Damaged);
            }
        }
    }
}

TEST(ComposeDocumentTest, CancellationReturnsNoDocument) {
    TempFolder folder;
    std::vector<std::wstring> slides;
    for (int i = 0; i < 40; ++i) {
        slides.push_back(SavePng(Checkerboard(500, 400), folder.File("s" + std::to_string(i) + ".png")));
    }
    vellumet::CancelToken cancelled;
    cancelled.RequestCancel();
    EXPECT_FALSE(ComposeDocument(slides, 600, 800, 1, &cancelled, 1));
    EXPECT_FALSE(ComposeDocument(slides, 600, 800, 2, &cancelled, 4));

    // A cancellation that arrives while pages are being encoded.
    for (int32_t threads : {1, 3}) {
        vellumet::CancelToken token;
        std::thread canceller([&token] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            token.RequestCancel();
        });
        std::unique_ptr<PDFWriter::PDF> document = ComposeDocument(slides, 600, 800, 1, &token, threads);
        canceller.join();
        EXPECT_FALSE(document) << threads << " threads";
    }
}
