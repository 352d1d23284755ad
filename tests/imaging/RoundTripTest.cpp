// A composed document read back by independent tools: qpdf checks its structure, pdfinfo its pages,
// and the poppler renderers at 72 dpi (one pixel per unit) show the composed pixels.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <string>

#include "ImagingTestSupport.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "pdfwriter/SavePdf.h"

using namespace imaging_test;

namespace {

QImage FlatBlocks(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(240, 240, 240));
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h / 4, QColor(180, 20, 20));
    painter.fillRect(0, h / 4, w / 3, h / 2, QColor(20, 120, 200));
    painter.fillRect(w / 2, h / 2, w / 4, h / 3, QColor(10, 10, 10));
    painter.fillRect(w - 7, h - 7, 7, 7, QColor(250, 200, 0));
    painter.end();
    return image;
}

// True when every channel of `got` lies within that channel's range over the 3 x 3 pixels of the
// expected picture around (x, y).
template <typename Expected>
bool WithinNeighbours(QRgb got, Expected expectedAt, int x, int y) {
    int low[3] = {255, 255, 255};
    int high[3] = {0, 0, 0};
    for (int ny = std::max(y - 1, 0); ny <= std::min(y + 1, 1149); ++ny) {
        for (int nx = std::max(x - 1, 0); nx <= std::min(x + 1, 783); ++nx) {
            const QRgb e = expectedAt(nx, ny);
            const int channels[3] = {qRed(e), qGreen(e), qBlue(e)};
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], channels[c]);
                high[c] = std::max(high[c], channels[c]);
            }
        }
    }
    const int values[3] = {qRed(got), qGreen(got), qBlue(got)};
    for (int c = 0; c < 3; ++c) {
        if (values[c] < low[c] || values[c] > high[c]) {
            return false;
        }
    }
    return true;
}

std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

}  // namespace

TEST(RoundTripTest, RenderedPagesShowExactlyTheComposedPictures) {
    for (const char* tool : {"qpdf", "pdfinfo", "pdftoppm", "pdftocairo"}) {
        if (!HaveTool(tool)) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    TempFolder folder;
    // Exported at the Kindle DX slide size, so the turned picture is the fit and is not resampled.
    const QImage slide = FlatBlocks(1045, 784);
    const QImage second = FlatBlocks(1045, 784).mirrored(true, false);
    std::unique_ptr<PDFWriter::PDF> document = ComposeDocument(
        {SavePng(slide, folder.File("1.png")), SavePng(second, folder.File("2.png"))}, 784, 1150, 1);
    ASSERT_TRUE(document);
    FixClock(*document);
    document->Finish();
    const std::filesystem::path pdf = folder.Path() / "deck.pdf";
    ASSERT_TRUE(PDFWriter::SavePdf(vellumet::FromPath(pdf), *document));

    const vellumet_test::ProcessResult check = RunShell("qpdf --check " + Quote(pdf) + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.out;
    const vellumet_test::ProcessResult info = RunShell("pdfinfo " + Quote(pdf) + " 2>&1");
    ASSERT_EQ(info.exitCode, 0) << info.out;
    EXPECT_NE(info.out.find("Pages:           2"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Page size:       784 x 1150 pts"), std::string::npos) << info.out;

    const QImage turned[] = {slide.transformed(QTransform().rotate(270)),
                             second.transformed(QTransform().rotate(270))};
    // The picture sits 52 units below the top; the margins are bare white page.
    const auto expectedAt = [&turned](int page, int x, int y) -> QRgb {
        const bool inside = y >= 52 && y < 52 + 1045;
        return (inside ? turned[page].pixel(x, y - 52) : qRgb(255, 255, 255)) & 0xFFFFFF;
    };

    // pdftocairo draws a picture placed one pixel per unit exactly. pdftoppm (Splash) resamples it
    // bilinearly even at scale 1, with a sampling position that drifts across the picture, so a
    // pixel near a colour edge may come out as a mix of its neighbours' colours, never anything else.
    for (const bool splash : {false, true}) {
        const std::filesystem::path prefix = folder.Path() / (splash ? "splash" : "cairo");
        const std::string command = splash ? "pdftoppm -r 72 -png " : "pdftocairo -r 72 -png ";
        ASSERT_EQ(RunShell(command + Quote(pdf) + " " + Quote(prefix)).exitCode, 0) << command;
        for (int page = 0; page < 2; ++page) {
            const std::string file = prefix.string() + "-" + std::to_string(page + 1) + ".png";
            const QImage rendered =
                QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(rendered.size(), QSize(784, 1150)) << file;
            int wrong = 0;
            for (int y = 0; y < 1150; ++y) {
                for (int x = 0; x < 784; ++x) {
                    const QRgb got = rendered.pixel(x, y) & 0xFFFFFF;
                    const QRgb expected = expectedAt(page, x, y);
                    bool good = got == expected;
                    if (!good && splash) {
                        good = WithinNeighbours(
                            got, [&](int nx, int ny) { return expectedAt(page, nx, ny); }, x, y);
                    }
                    if (!good && ++wrong <= 5) {
                        ADD_FAILURE() << file << " pixel " << x << "," << y << " is " << std::hex << got
                                      << " not " << expected;
                    }
                }
            }
            EXPECT_EQ(wrong, 0) << file;
        }
    }
}
