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
