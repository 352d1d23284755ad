#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "FakePicture.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"

using namespace PDFWriter;

namespace {

std::string Bytes(const MemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Data()), static_cast<size_t>(stream.Length()));
}

std::vector<uint8_t> Inflate(const MemoryStream& stream, size_t expectedSize) {
    std::vector<uint8_t> out(expectedSize + 1);
    uLongf length = out.size();
    if (uncompress(out.data(), &length, stream.Data(), static_cast<uLong>(stream.Length())) != Z_OK) {
        return {};
    }
    out.resize(length);
    return out;
}

}  // namespace

TEST(ImageObject, PixelsAreReadAsRgbRowsWithoutPadding) {
    FakePicture picture(3, 2, /*blue*/ 0x10, /*green*/ 0x20, /*red*/ 0x30);
    uint8_t* corner = picture.Pixel(2, 1);
    corner[0] = 0x01, corner[1] = 0x02, corner[2] = 0x03;

    ImageObject image(&picture, L"PNG", 3, 2);
    const std::vector<uint8_t> rgb = Inflate(image.stream, 18);
    ASSERT_EQ(rgb.size(), 18u);
    EXPECT_EQ(rgb[0], 0x30);
    EXPECT_EQ(rgb[1], 0x20);
    EXPECT_EQ(rgb[2], 0x10);
    EXPECT_EQ(rgb[15], 0x03) << "the last pixel of the second row, red first";
    EXPECT_EQ(rgb[17], 0x01);
    EXPECT_EQ(picture.locks, 1);
    EXPECT_EQ(picture.unlocks, 1);
}

TEST(ImageObject, RequestedSizeIsClippedToThePicture) {
    FakePicture picture(500, 400, 0, 0, 0);
    ImageObject larger(&picture, L"PNG", 600, 800);
    EXPECT_EQ(larger.width, 500);
    EXPECT_EQ(larger.height, 400);
    EXPECT_EQ(Inflate(larger.stream, 500 * 400 * 3).size(), 500u * 400u * 3u);

    ImageObject negative(&picture, L"PNG", -5, 10);
    EXPECT_EQ(negative.width, 0);
    EXPECT_EQ(negative.height, 10);
    EXPECT_EQ(negative.stream.Length(), 0);
    EXPECT_EQ(picture.locks, 1) << "a zero area is never locked";
}

TEST(ImageObject, FailuresStillWriteAWellFormedObject) {
    PDF document;
    auto* none = new ImageObject(&document, nullptr, L"PNG", 784, 1045);
    EXPECT_EQ(none->width, 0);
    FakePicture locked(2, 2, 0, 0, 0);
    locked.refuseLock = true;
    auto* unreadable = new ImageObject(&document, &locked, L"PNG", 2, 2);
    EXPECT_EQ(unreadable->width, 2);

    const std::string file = Bytes(document.Buffer());
    EXPECT_NE(
        file.find(
            "1 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Filter /FlateDecode\n/Width 0\n/Height 0\n"
            "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n/Length 0\n>>\nstream\n\nendstream\nendobj\n"),
        std::string::npos);
    EXPECT_NE(
        file.find("2 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Filter /FlateDecode\n/Width 2\n/Height 2\n"
                  "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n/Length 0\n"),
        std::string::npos);
}

TEST(ImageObject, WhitePixelObjectAndItsPlacement) {
    PDF document;
    FakePicture white(1, 1, 0xFF, 0xFF, 0xFF);
    auto* image = new ImageObject(&document, &white, L"PNG", 1, 1);
    EXPECT_EQ(image->number, 1);

    // The object carries exactly the zlib form of FF FF FF, and its length says so.
    MemoryStream expected(0);
    const uint8_t pixel[3] = {0xFF, 0xFF, 0xFF};
    expected.Append(pixel, 3, true);
    const std::string file = Bytes(document.Buffer());
    const std::string header =
        "1 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n/Filter /FlateDecode\n/Width 1\n/Height 1\n"
        "/ColorSpace /DeviceRGB\n/BitsPerComponent 8\n/Length " +
        std::to_string(expected.Length()) + "\n>>\nstream\n";
    EXPECT_EQ(file.substr(16), header + Bytes(expected) + "\nendstream\nendobj\n");
    EXPECT_EQ(image->stream.Length(), 0) << "the image's own copy is released once it is in the file";
}

TEST(ImageObject, PlaceImageWritesTheExactOperators) {
    PDF document;
    FakePicture picture(784, 1045, 0, 0, 0);
    auto* first = new ImageObject(&document, &picture, L"PNG", 784, 1045);
    auto* second = new ImageObject(&document, &picture, L"PNG", 533, 800);
    first->x = 0;
    first->y = 52;
    auto* tall = new Page(&document, {784, 1150});
    tall->PlaceImage(*first);
    EXPECT_EQ(Bytes(tall->content), "q\n784.000000 0 0 1045.000000 0.000000 53.000000 cm\n/Im1 Do\nQ\n");

    second->x = 33;
    auto* small = new Page(&document, {600, 800});
    small->PlaceImage(*second);
    EXPECT_EQ(Bytes(small->content), "q\n533.000000 0 0 800.000000 33.000000 0.000000 cm\n/Im2 Do\nQ\n");
}

namespace {

// Gray samples held in memory, rows padded with 0xEE so that padding read by mistake shows.
class GrayPicture : public PixelSource {
public:
    GrayPicture(int32_t width, int32_t height, std::vector<uint8_t> samples)
        : width_(width), height_(height), stride_(width + 3) {
        rows_.assign(static_cast<size_t>(stride_) * static_cast<size_t>(height), 0xEE);
        for (int32_t r = 0; r < height; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                rows_[static_cast<size_t>(r * stride_ + c)] = samples.at(static_cast<size_t>(r * width + c));
            }
        }
    }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    bool LockBitsBgr(int32_t, int32_t, const uint8_t*&, ptrdiff_t&) override { return false; }
    bool LockBitsGray(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) override {
        if (w > width_ || h > height_) {
            return false;
        }
        firstRow = rows_.data();
        stride = stride_;
        return true;
    }
    void UnlockBits() override {}

private:
    int32_t width_;
    int32_t height_;
    int32_t stride_;
    std::vector<uint8_t> rows_;
};

// The whole object as RegisterImage writes it after "1 0 obj\n", for `samples` compressed by zlib.
std::string ExpectedObject(int width, int height, const char* colourSpace, int bits,
                           const std::vector<uint8_t>& samples) {
    MemoryStream compressed(0);
    compressed.Append(samples.data(), static_cast<int32_t>(samples.size()), true);
    return "<<\n/Type /XObject\n/Subtype /Image\n/Filter /FlateDecode\n/Width " + std::to_string(width) +
           "\n/Height " + std::to_string(height) + "\n/ColorSpace " + colourSpace + "\n/BitsPerComponent " +
           std::to_string(bits) + "\n/Length " + std::to_string(compressed.Length()) + "\n>>\nstream\n" +
           Bytes(compressed) + "\nendstream\nendobj\n";
}

}  // namespace

TEST(ImageObject, GraySamplesAreWrittenAsDeviceGrayOfEightAndFourBits) {
    const std::vector<uint8_t> samples = {0x00, 0x11, 0xFF, 0x80, 0x7F, 0x01};
    {
        PDF document;
        GrayPicture picture(3, 2, samples);
        new ImageObject(&document, &picture, L"PNG", 3, 2, ImageSamples::Gray8);
        EXPECT_EQ(Bytes(document.Buffer()).substr(16 + 8), ExpectedObject(3, 2, "/DeviceGray", 8, samples));
        EXPECT_EQ(Bytes(document.Buffer()).substr(16, 8), "1 0 obj\n");
    }
    {
        // Levels 0..15, two a byte, the left pixel high; the odd third pixel fills a byte alone.
        const std::vector<uint8_t> levels = {0, 1, 15, 8, 7, 10};
        PDF document;
        GrayPicture picture(3, 2, levels);
        new ImageObject(&document, &picture, L"PNG", 3, 2, ImageSamples::Gray4);
        EXPECT_EQ(Bytes(document.Buffer()).substr(16 + 8),
                  ExpectedObject(3, 2, "/DeviceGray", 4, {0x01, 0xF0, 0x87, 0xA0}));
    }
}

TEST(ImageObject, FourBitRowsOfAnyWidthStartOnAByteOfTheirOwn) {
    for (const int32_t width : {1, 2, 5, 8, 13}) {
        std::vector<uint8_t> levels;
        for (int32_t r = 0; r < 3; ++r) {
            for (int32_t c = 0; c < width; ++c) {
                levels.push_back(static_cast<uint8_t>((r * 7 + c * 3 + 1) % 16));
            }
        }
        GrayPicture picture(width, 3, levels);
        ImageObject image(&picture, L"PNG", width, 3, ImageSamples::Gray4);
        const size_t rowBytes = static_cast<size_t>(width + 1) / 2;
        const std::vector<uint8_t> packed = Inflate(image.stream, rowBytes * 3);
        ASSERT_EQ(packed.size(), rowBytes * 3) << width;
        for (int32_t r = 0; r < 3; ++r) {
            for (int32_t c = 0; c < width + (width % 2); ++c) {
                const uint8_t byte = packed[static_cast<size_t>(r) * rowBytes + static_cast<size_t>(c / 2)];
                const uint8_t nibble = c % 2 == 0 ? byte >> 4 : byte & 0x0F;
                const uint8_t expected = c < width ? levels[static_cast<size_t>(r * width + c)] : 0;
                EXPECT_EQ(nibble, expected) << "width " << width << " row " << r << " column " << c;
            }
        }
    }
}

TEST(ImageObject, APictureWithoutGraySamplesGivesAnEmptyGrayImage) {
    FakePicture colour(2, 2, 1, 2, 3);
    ImageObject image(&colour, L"PNG", 2, 2, ImageSamples::Gray4);
    EXPECT_EQ(image.stream.Length(), 0);
    EXPECT_EQ(colour.locks, 0);
}
