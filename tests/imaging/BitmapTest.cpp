#include "imaging/Bitmap.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <limits>
#include <string>

#include "ImagingTestSupport.h"
#include "common/WideText.h"
#include "pdfwriter/ImageObject.h"

using imaging::Bitmap;
using namespace imaging_test;

namespace {

std::string EncodeAs(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes.toStdString();
}

std::string EncodePng(const QImage& image) {
    return EncodeAs(image, "PNG");
}

std::unique_ptr<Bitmap> DecodeString(const std::string& bytes) {
    return Bitmap::Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void AppendChunk(std::string& png, const char* type, const std::string& data) {
    const auto be32 = [&png](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            png.push_back(static_cast<char>((v >> shift) & 0xFF));
        }
    };
    be32(static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    be32(static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// A PNG whose header declares w x h 8-bit RGB but whose data is only a few bytes.
std::string PngHeaderOnly(uint32_t w, uint32_t h) {
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    for (uint32_t v : {w, h}) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            ihdr.push_back(static_cast<char>((v >> shift) & 0xFF));
        }
    }
    ihdr += std::string("\x08\x02\x00\x00\x00", 5);
    AppendChunk(png, "IHDR", ihdr);
    AppendChunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
    AppendChunk(png, "IEND", "");
    return png;
}

// Every pixel a different colour, so that any misplaced pixel shows.
QImage Distinct(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(x * 37 % 256, y * 53 % 256, (x + y) * 11 % 256));
        }
    }
    return image;
}

uint32_t Rgb(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xFFFFFFu;
}

}  // namespace

TEST(BitmapTest, QuarterTurnPutsTheTopEdgeOnTheLeft) {
    const QImage source = Distinct(5, 3);
    std::unique_ptr<Bitmap> bitmap = DecodeString(EncodePng(source));
    ASSERT_TRUE(bitmap);
    ASSERT_TRUE(bitmap->RotateQuarter());
    ASSERT_EQ(bitmap->Width(), 3);
    ASSERT_EQ(bitmap->Height(), 5);
    // Turned 270 degrees clockwise: (x, y) goes to (y, w - 1 - x). The top row becomes the left
    // column, its left end at the bottom.
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(bitmap->PixelRgb(y, 4 - x), Rgb(source, x, y)) << x << "," << y;
        }
    }
}

TEST(BitmapTest, LoadingTurnedEqualsTurningAfterLoading) {
    // Larger than one tile of the turning loop, with odd sides; opaque and partly transparent.
    for (QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        QImage source(150, 67, format);
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < source.width(); ++x) {
                source.setPixel(x, y, qRgba(x % 256, (y * 7) % 256, (x * y) % 256, (x + 3 * y) % 256));
            }
        }
        TempFolder folder;
        const std::wstring path = SavePng(source, folder.File("turn.png"));
        std::unique_ptr<Bitmap> expected = Bitmap::Load(path);
        ASSERT_TRUE(expected);
        ASSERT_TRUE(expected->RotateQuarter());
        int asked = 0;
        std::unique_ptr<Bitmap> turned = Bitmap::Load(path, [&asked](int32_t w, int32_t h) {
            ++asked;
            return w == 150 && h == 67;
        });
        ASSERT_TRUE(turned);
        EXPECT_EQ(asked, 1);
        ASSERT_EQ(turned->Width(), 67);
        ASSERT_EQ(turned->Height(), 150);
        for (int y = 0; y < 150; ++y) {
            for (int x = 0; x < 67; ++x) {
                ASSERT_EQ(turned->PixelRgb(x, y), expected->PixelRgb(x, y))
                    << x << "," << y << " format " << format;
            }
        }
        std::unique_ptr<Bitmap> kept = Bitmap::Load(path, [](int32_t, int32_t) { return false; });
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->Width(), 150);
    }
}

TEST(BitmapTest, TransparencyIsLaidOnWhite) {
    QImage source(4, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(0, 0, 0, 0));
    source.setPixel(1, 0, qRgba(255, 0, 0, 128));
    source.setPixel(2, 0, qRgba(0, 0, 255, 255));
    source.setPixel(3, 0, qRgba(10, 20, 30, 255));
    std::unique_ptr<Bitmap> bitmap = DecodeString(EncodePng(source));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->PixelRgb(0, 0), 0xFFFFFFu);
    EXPECT_EQ(bitmap->PixelRgb(1, 0), 0xFF7F7Fu);
    EXPECT_EQ(bitmap->PixelRgb(2, 0), 0x0000FFu);
    EXPECT_EQ(bitmap->PixelRgb(3, 0), 0x0A141Eu);
}

TEST(BitmapTest, PixelsAreReadAsBlueGreenRedRowsAndStoredAsRgb) {
    std::unique_ptr<Bitmap> bitmap = DecodeString(EncodePng(Solid(3, 2, QColor(0x30, 0x20, 0x10))));
    ASSERT_TRUE(bitmap);
    const uint8_t* firstRow = nullptr;
    ptrdiff_t stride = 0;
    ASSERT_TRUE(bitmap->LockBitsBgr(3, 2, firstRow, stride));
    EXPECT_GE(stride, 9);
    EXPECT_EQ(firstRow[stride + 6], 0x10);
    EXPECT_EQ(firstRow[stride + 7], 0x20);
    EXPECT_EQ(firstRow[stride + 8], 0x30);
    bitmap->UnlockBits();
    EXPECT_FALSE(bitmap->LockBitsBgr(4, 2, firstRow, stride));
    EXPECT_FALSE(bitmap->LockBitsBgr(0, 2, firstRow, stride));

    PDFWriter::ImageObject image(bitmap.get(), L"PNG", 3, 2);
    const std::vector<uint8_t> rgb = Inflate(image.stream.Data(), static_cast<size_t>(image.stream.Length()));
    ASSERT_EQ(rgb.size(), 18u);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        EXPECT_EQ(rgb[i], 0x30);
        EXPECT_EQ(rgb[i + 1], 0x20);
        EXPECT_EQ(rgb[i + 2], 0x10);
    }
}

TEST(BitmapTest, NewBitmapsAreWhiteAndSizesAreCheckedBeforeAllocating) {
    std::unique_ptr<Bitmap> bitmap = Bitmap::Create(3, 2);
    ASSERT_TRUE(bitmap);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(bitmap->PixelRgb(x, y), 0xFFFFFFu);
        }
    }
    EXPECT_FALSE(Bitmap::Create(0, 5));
    EXPECT_FALSE(Bitmap::Create(5, -1));
    EXPECT_FALSE(Bitmap::Create(imaging::kMaxBitmapSide + 1, 1));
    EXPECT_FALSE(bitmap->Scaled(0, 1));

    EXPECT_TRUE(imaging::BitmapSizeAllowed(1, 1));
    EXPECT_TRUE(imaging::BitmapSizeAllowed(20000, 35791));   // 2147460000 bytes
    EXPECT_FALSE(imaging::BitmapSizeAllowed(20000, 35792));  // 2147520000 bytes: past 32 bits
    EXPECT_FALSE(imaging::BitmapSizeAllowed(40000, 40000));
    constexpr int64_t kHuge = std::numeric_limits<int64_t>::max();
    EXPECT_FALSE(imaging::BitmapSizeAllowed(kHuge, kHuge));
    EXPECT_FALSE(imaging::BitmapSizeAllowed(int64_t{1} << 32, 1));
}

TEST(BitmapTest, DrawingStretchesTheWholePictureIntoTheRectangle) {
    std::unique_ptr<Bitmap> target = Bitmap::Create(10, 10);
    std::unique_ptr<Bitmap> red = DecodeString(EncodePng(Solid(2, 2, QColor(200, 10, 20))));
    ASSERT_TRUE(target && red);
    ASSERT_TRUE(target->DrawPicture(*red, 2, 3, 4, 5));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 3 && y < 8;
            EXPECT_EQ(target->PixelRgb(x, y), inside ? 0xC80A14u : 0xFFFFFFu) << x << "," << y;
        }
    }
    std::unique_ptr<Bitmap> scaled = red->Scaled(37, 91);
    ASSERT_TRUE(scaled);
    EXPECT_EQ(scaled->Width(), 37);
    EXPECT_EQ(scaled->Height(), 91);
    EXPECT_EQ(scaled->PixelRgb(36, 90), 0xC80A14u);
}

TEST(BitmapTest, AOnePixelRuleCoversExactlyItsRow) {
    std::unique_ptr<Bitmap> bitmap = Bitmap::Create(8, 6);
    ASSERT_TRUE(bitmap);
    bitmap->DrawLine(0, 3, 8, 3, 0xFF808080, 1.0);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(bitmap->PixelRgb(x, y), y == 3 ? 0x808080u : 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(BitmapTest, UnreadableAndOversizePicturesAreRefused) {
    TempFolder folder;
    EXPECT_FALSE(Bitmap::Load(folder.File("missing.png")));
    EXPECT_FALSE(Bitmap::Load(vellumet::FromPath(folder.Path())));
    // A pipe is refused without waiting for a writer.
    ASSERT_EQ(::mkfifo((folder.Path() / "pipe.png").c_str(), 0600), 0);
    EXPECT_FALSE(Bitmap::Load(folder.File("pipe.png")));
    WriteBytes(folder.File("empty.png"), "");
    EXPECT_FALSE(Bitmap::Load(folder.File("empty.png")));
    WriteBytes(folder.File("text.png"), "this is not a picture");
    EXPECT_FALSE(Bitmap::Load(folder.File("text.png")));
    EXPECT_FALSE(Bitmap::Decode(nullptr, 10));

    // A side beyond the limit is refused even when the picture is small and valid, unless it is a
    // PNG picture, which is decoded at a reduced size.
    EXPECT_TRUE(DecodeString(EncodePng(Solid(PDFWriter::kMaxImageSide, 1, Qt::blue))));
    EXPECT_FALSE(DecodeString(EncodeAs(Solid(PDFWriter::kMaxImageSide + 1, 1, Qt::blue), "BMP")));
    EXPECT_FALSE(DecodeString(EncodeAs(Solid(1, PDFWriter::kMaxImageSide + 1, Qt::blue), "BMP")));
    std::unique_ptr<Bitmap> reduced =
        DecodeString(EncodePng(Solid(PDFWriter::kMaxImageSide + 1, 1, Qt::blue)));
    ASSERT_TRUE(reduced);
    EXPECT_EQ(reduced->Width(), (PDFWriter::kMaxImageSide + 1 + 4) / 5);
    // A header declaring 1.6 GB of pixels is refused before anything is allocated.
    EXPECT_FALSE(DecodeString(PngHeaderOnly(20000, 20000)));
    EXPECT_FALSE(DecodeString(PngHeaderOnly(0x7FFFFFFF, 0x7FFFFFFF)));
    EXPECT_FALSE(DecodeString(PngHeaderOnly(0, 5)));

    // Damage anywhere in a real picture never crashes; what decodes has its declared size.
    const std::string good = EncodePng(Distinct(40, 30));
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        std::unique_ptr<Bitmap> partial = DecodeString(good.substr(0, cut));
        if (partial) {
            EXPECT_EQ(partial->Width(), 40);
            EXPECT_EQ(partial->Height(), 30);
        }
        std::string flipped = good;
        flipped[cut] = static_cast<char>(flipped[cut] ^ 0x5A);
        std::unique_ptr<Bitmap> damaged = DecodeString(flipped);
        if (damaged) {
            EXPECT_GE(damaged->Width(), 1);
            EXPECT_LE(damaged->Width(), PDFWriter::kMaxImageSide);
        }
    }
}

TEST(BitmapTest, AnyFileNameLoads) {
    TempFolder folder;
    // Not valid UTF-8: the wide text carries the raw byte.
    const std::wstring path = vellumet::FromPath(folder.Path() / std::string("slide\xff \xe9t\xc3\xa9.png"));
    WriteBytes(path, EncodePng(Solid(4, 3, Qt::green)));
    std::unique_ptr<Bitmap> bitmap = Bitmap::Load(path);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->Width(), 4);
    EXPECT_EQ(bitmap->PixelRgb(3, 2), 0x00FF00u);
}
