// Gray pages read back by an independent renderer, the pair's rule in the gray palettes, and the
// pictures composition leaves out (with their reasons) or decodes at a reduced size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <QPainter>
#include <fstream>
#include <iterator>
#include <string>

#include "ImagingTestSupport.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/SavePdf.h"

using namespace imaging_test;
using vellumet::Dither;
using vellumet::LeftOutPicture;
using vellumet::LeftOutReason;
using vellumet::PageColours;
using vellumet::Palette;

namespace {

// A slide with a horizontal gradient, a light gray band and dark blocks.
QImage Slide(int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int v = x * 255 / (w - 1);
            image.setPixel(x, y, qRgb(v, (v + seed * 50) % 256, 255 - v));
        }
    }
    QPainter painter(&image);
    painter.fillRect(0, h / 3, w, h / 6, QColor(230, 230, 230));
    painter.fillRect(w / 4, h / 2, w / 5, h / 4, QColor(20, 20, 60));
    painter.end();
    return image;
}

std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// The stored samples of image `index` as one byte a pixel (levels for 4 bits).
std::vector<uint8_t> StoredSamples(const PDFWriter::PDF& document, size_t index) {
    const PDFWriter::ImageObject& image = *document.Images().at(index);
    const std::vector<uint8_t> packed = ImagePixels(document, index);
    const auto w = static_cast<size_t>(image.width);
    const auto h = static_cast<size_t>(image.height);
    if (image.samples == PDFWriter::ImageSamples::Gray8) {
        return packed;
    }
    std::vector<uint8_t> levels;
    const size_t rowBytes = (w + 1) / 2;
    EXPECT_EQ(packed.size(), rowBytes * h);
    for (size_t y = 0; y < h && packed.size() == rowBytes * h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            const uint8_t byte = packed[y * rowBytes + x / 2];
            levels.push_back(x % 2 == 0 ? byte >> 4 : byte & 0x0F);
        }
    }
    return levels;
}

// Writes a valid, not interlaced 8-bit RGB PNG of w x h pixels whose pixel (x, y) is `at(x, y)`,
// row by row, never holding the whole picture.
template <typename ColourAt>
void WriteLargePng(const std::wstring& path, uint32_t w, uint32_t h, ColourAt at) {
    std::string file("\x89PNG\r\n\x1a\n", 8);
    auto chunk = [&file](const char* type, const std::string& data) {
        const auto length = static_cast<uint32_t>(data.size());
        for (int shift = 24; shift >= 0; shift -= 8) {
            file.push_back(static_cast<char>((length >> shift) & 0xFF));
        }
        const std::string body = std::string(type, 4) + data;
        file += body;
        const uLong crc =
            crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        for (int shift = 24; shift >= 0; shift -= 8) {
            file.push_back(static_cast<char>((crc >> shift) & 0xFF));
        }
    };
    std::string header;
    for (const uint32_t side : {w, h}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            header.push_back(static_cast<char>((side >> shift) & 0xFF));
        }
    }
    header += std::string("\x08\x02\x00\x00\x00", 5);
    chunk("IHDR", header);

    z_stream z{};
    ASSERT_EQ(deflateInit(&z, 1), Z_OK);
    std::string row(1 + static_cast<size_t>(w) * 3, '\0');
    std::string compressed;
    std::vector<char> out(1 << 20);
    for (uint32_t y = 0; y <= h; ++y) {
        const bool last = y == h;
        if (!last) {
            for (uint32_t x = 0; x < w; ++x) {
                const uint32_t rgb = at(x, y);
                row[1 + x * 3] = static_cast<char>(rgb >> 16);
                row[2 + x * 3] = static_cast<char>(rgb >> 8);
                row[3 + x * 3] = static_cast<char>(rgb);
            }
        }
        z.next_in = reinterpret_cast<Bytef*>(row.data());
        z.avail_in = last ? 0 : static_cast<uInt>(row.size());
        int status = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            compressed.append(out.data(), out.size() - z.avail_out);
        } while (z.avail_out == 0 || (last && status != Z_STREAM_END));
    }
    deflateEnd(&z);
    for (size_t at0 = 0; at0 < compressed.size(); at0 += 1 << 24) {
        chunk("IDAT", compressed.substr(at0, 1 << 24));
    }
    chunk("IEND", "");
    WriteBytes(path, file);
}

}  // namespace

TEST(ComposeGray, RenderedPagesShowExactlyTheStoredGrayLevels) {
    for (const char* tool : {"qpdf", "pdfinfo", "pdftocairo"}) {
        if (!HaveTool(tool)) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    TempFolder folder;
    const std::vector<std::wstring> slides = {SavePng(Slide(333, 250, 1), folder.File("1.png")),
                                              SavePng(Slide(333, 250, 2), folder.File("2.png")),
                                              SavePng(Slide(333, 250, 3), folder.File("3.png"))};
    struct Case {
        PageColours colours;
        int32_t perPage;
        int scale;  // from a stored sample to the rendered 8-bit value
    };
    for (const Case& c :
         {Case{{Palette::Gray16, Dither::Ordered}, 1, 17}, Case{{Palette::Gray16, Dither::None}, 2, 17},
          Case{{Palette::Gray, Dither::Ordered}, 2, 1}}) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.colours.palette)) + " per page " +
                     std::to_string(c.perPage));
        std::unique_ptr<PDFWriter::PDF> document =
            ComposeDocument(slides, 600, 800, c.perPage, c.colours, nullptr, nullptr, 2);
        ASSERT_TRUE(document);
        FixClock(*document);
        document->Finish();
        const std::filesystem::path pdf = folder.Path() / "gray.pdf";
        ASSERT_TRUE(PDFWriter::SavePdf(vellumet::FromPath(pdf), *document));
        const vellumet_test::ProcessResult check = RunShell("qpdf --check " + Quote(pdf) + " 2>&1");
        EXPECT_EQ(check.exitCode, 0) << check.out;
        const vellumet_test::ProcessResult info = RunShell("pdfinfo " + Quote(pdf) + " 2>&1");
        EXPECT_NE(info.out.find("Page size:       600 x 800 pts"), std::string::npos) << info.out;

        const std::filesystem::path prefix = folder.Path() / "page";
        ASSERT_EQ(RunShell("pdftocairo -r 72 -png " + Quote(pdf) + " " + Quote(prefix)).exitCode, 0);
        for (size_t page = 0; page < document->Pages().size(); ++page) {
            const PDFWriter::ImageObject& image = *document->Images()[page];
            const std::vector<uint8_t> samples = StoredSamples(*document, page);
            const auto w = static_cast<int>(image.width);
            const auto h = static_cast<int>(image.height);
            ASSERT_EQ(samples.size(), static_cast<size_t>(w) * static_cast<size_t>(h));
            const QImage rendered =
                QImage(QString::fromStdString(prefix.string() + "-" + std::to_string(page + 1) + ".png"))
                    .convertToFormat(QImage::Format_RGB32);
            ASSERT_EQ(rendered.size(), QSize(600, 800));
            int wrong = 0;
            for (int y = 0; y < 800; ++y) {
                for (int x = 0; x < 600; ++x) {
                    const int ix = x - static_cast<int>(image.x);
                    const int iy = y - static_cast<int>(image.y);
                    const bool inside = ix >= 0 && iy >= 0 && ix < w && iy < h;
                    const int expected = inside ? samples[static_cast<size_t>(iy * w + ix)] * c.scale : 255;
                    const QRgb got = rendered.pixel(x, y);
                    if ((qRed(got) != expected || qGreen(got) != expected || qBlue(got) != expected) &&
                        ++wrong <= 3) {
                        ADD_FAILURE() << "page " << page << " pixel " << x << "," << y << " is " << std::hex
                                      << got << " not " << expected;
                    }
                }
            }
            if (c.perPage == 2) {
                // The rule between the slides is one solid row at the gray nearest to its own.
                const int rule = c.colours.palette == Palette::Gray16 ? 8 : 128;
                for (int x = 0; x < w; ++x) {
                    ASSERT_EQ(samples[static_cast<size_t>((h / 2) * w + x)], rule) << x;
                }
            }
        }
    }
}

TEST(ComposeGray, LeftOutPicturesAreNamedWithTheirReasons) {
    TempFolder folder;
    const std::wstring good = SavePng(Slide(200, 150, 1), folder.File("1.png"));
    std::string whole;
    {
        const QImage slide = Slide(200, 150, 2);
        SavePng(slide, folder.File("full.png"));
        std::ifstream in(vellumet::ToPath(folder.File("full.png")), std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    WriteBytes(folder.File("2.png"), whole.substr(0, whole.size() / 2));  // truncated
    const std::wstring strip = SavePng(Solid(1, 8000, Qt::black), folder.File("3.png"));
    WriteBytes(folder.File("4.png"), "");
    const std::vector<std::wstring> pictures = {good, folder.File("2.png"), strip, folder.File("4.png"),
                                                folder.File("missing.png")};

    std::vector<LeftOutPicture> leftOut;
    std::unique_ptr<PDFWriter::PDF> singles =
        ComposeDocument(pictures, 600, 800, 1, PageColours{}, nullptr, &leftOut, 2);
    ASSERT_TRUE(singles);
    EXPECT_EQ(singles->Pages().size(), 1u);
    ASSERT_EQ(leftOut.size(), 4u);
    EXPECT_EQ(leftOut[0].index, 1u);
    EXPECT_EQ(leftOut[0].path, pictures[1]);
    EXPECT_EQ(leftOut[0].reason, LeftOutReason::Damaged);
    EXPECT_EQ(leftOut[1].reason, LeftOutReason::CannotFit);
    EXPECT_EQ(leftOut[2].reason, LeftOutReason::Damaged) << "an empty file";
    EXPECT_EQ(leftOut[3].reason, LeftOutReason::Unreadable);

    // In pairs: a left-out first picture takes its partner's page along; a left-out second leaves
    // the lower half white and is named too.
    leftOut.clear();
    std::unique_ptr<PDFWriter::PDF> pairs = ComposeDocument({folder.File("2.png"), good, good, strip}, 600,
                                                            800, 2, PageColours{}, nullptr, &leftOut, 1);
    ASSERT_TRUE(pairs);
    EXPECT_EQ(pairs->Pages().size(), 1u);
    ASSERT_EQ(leftOut.size(), 2u);
    EXPECT_EQ(leftOut[0].reason, LeftOutReason::Damaged);
    EXPECT_EQ(leftOut[1].index, 1u);
    EXPECT_EQ(leftOut[1].reason, LeftOutReason::PartnerLeftOut);
}

TEST(ComposeGray, AValidPictureOverTheDecodeLimitIsComposedAtAReducedSize) {
    TempFolder folder;
    // 12000 x 12000: left half red, right half blue, a black frame 40 pixels wide.
    const std::wstring large = folder.File("large.png");
    WriteLargePng(large, 12000, 12000, [](uint32_t x, uint32_t y) -> uint32_t {
        if (x < 40 || y < 40 || x >= 11960 || y >= 11960) {
            return 0x000000;
        }
        return x < 6000 ? 0xFF0000 : 0x0000FF;
    });
    std::vector<LeftOutPicture> leftOut;
    std::unique_ptr<PDFWriter::PDF> document =
        ComposeDocument({large}, 1200, 1600, 1, PageColours{}, nullptr, &leftOut, 1);
    ASSERT_TRUE(document);
    EXPECT_TRUE(leftOut.empty());
    ASSERT_EQ(document->Images().size(), 1u);
    const PDFWriter::ImageObject& image = *document->Images()[0];
    EXPECT_EQ(image.width, 1200);
    EXPECT_EQ(image.height, 1200);
    const std::vector<uint8_t> rgb = ImagePixels(*document, 0);
    ASSERT_EQ(rgb.size(), 1200u * 1200u * 3u);
    auto pixel = [&rgb](size_t x, size_t y) {
        const uint8_t* p = &rgb[(y * 1200 + x) * 3];
        return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    };
    EXPECT_EQ(pixel(300, 600), 0xFF0000u);
    EXPECT_EQ(pixel(900, 600), 0x0000FFu);
    EXPECT_EQ(pixel(1, 600), 0x000000u) << "the frame survives the reduction";
}
