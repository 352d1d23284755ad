// The reduced-size decoder against Qt's own decoding of the same files, over PNG's colour types and
// bit depths: every reduced pixel is the mean of its block of Qt's pixels laid on white.

#include "imaging/PngReducedDecoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstdlib>
#include <string>

#include "imaging/Bitmap.h"
#include "pdfwriter/ImageObject.h"

using imaging::Bitmap;
using imaging::PngReducedDecoder;

namespace {

std::string Encode(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "PNG"));
    return bytes.toStdString();
}

const uint8_t* Data(const std::string& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.data());
}

// Varied colours and transparency, in Qt's 32-bit format.
QImage Varied(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y,
                           qRgba((x * 7 + y * 50) % 256, (x * 3) % 256, (x / 13 + y * 90) % 256,
                                 (x / 97) % 2 == 0 ? 255 : (x * 11) % 256));
        }
    }
    return image;
}

// Qt's decoding laid on white, as 8-bit channel values.
int Flattened(QRgb p, int channel) {
    const int c = channel == 0 ? qRed(p) : channel == 1 ? qGreen(p) : qBlue(p);
    const int a = qAlpha(p);
    return (c * a + 127) / 255 + 255 - a;
}

}  // namespace

TEST(PngReducedDecoder, EveryColourTypeMatchesQtsPixelsAveraged) {
    const int w = PDFWriter::kMaxImageSide + 1;
    const int h = 7;
    const QImage source = Varied(w, h);
    QImage indexed = source.convertToFormat(QImage::Format_Indexed8);
    struct Case {
        const char* name;
        QImage image;
    };
    const Case cases[] = {
        {"gray 8", source.convertToFormat(QImage::Format_Grayscale8)},
        {"gray 16", source.convertToFormat(QImage::Format_Grayscale16)},
        {"rgb 8", source.convertToFormat(QImage::Format_RGB888)},
        {"rgba 8", source},
        {"rgba 16", source.convertToFormat(QImage::Format_RGBA64)},
        {"palette with transparency", indexed},
        {"1 bit", source.convertToFormat(QImage::Format_Mono)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string png = Encode(c.image);
        QImage reference;
        ASSERT_TRUE(reference.loadFromData(QByteArray::fromStdString(png), "PNG"));
        reference = reference.convertToFormat(QImage::Format_ARGB32);

        PngReducedDecoder decoder;
        ASSERT_TRUE(decoder.Parse(Data(png), png.size()));
        const int factor = decoder.Factor();
        EXPECT_EQ(factor, 5);
        ASSERT_EQ(decoder.Width(), (w + factor - 1) / factor);
        ASSERT_EQ(decoder.Height(), (h + factor - 1) / factor);
        std::unique_ptr<Bitmap> bitmap = Bitmap::Decode(Data(png), png.size());
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->Width(), decoder.Width());
        ASSERT_EQ(bitmap->Height(), decoder.Height());

        int wrong = 0;
        for (int by = 0; by < decoder.Height(); ++by) {
            for (int bx = 0; bx < decoder.Width(); ++bx) {
                int sums[3] = {0, 0, 0};
                int count = 0;
                for (int y = by * factor; y < std::min(h, (by + 1) * factor); ++y) {
                    for (int x = bx * factor; x < std::min(w, (bx + 1) * factor); ++x, ++count) {
                        for (int ch = 0; ch < 3; ++ch) {
                            sums[ch] += Flattened(reference.pixel(x, y), ch);
                        }
                    }
                }
                const uint32_t got = bitmap->PixelRgb(bx, by);
                const int channels[3] = {static_cast<int>(got >> 16), static_cast<int>((got >> 8) & 0xFF),
                                         static_cast<int>(got & 0xFF)};
                for (int ch = 0; ch < 3; ++ch) {
                    // 16-bit samples are read by their high byte, Qt rounds them: one step apart.
                    if (std::abs(channels[ch] - (sums[ch] + count / 2) / count) > 1 && ++wrong <= 3) {
                        ADD_FAILURE() << "block " << bx << "," << by << " channel " << ch << " is "
                                      << channels[ch] << " not " << (sums[ch] + count / 2) / count;
                    }
                }
            }
        }
    }
}

TEST(PngReducedDecoder, PicturesWithinTheLimitsOrDamagedAreDeclined) {
    PngReducedDecoder decoder;
    const std::string small = Encode(Varied(40, 30));
    EXPECT_FALSE(decoder.Parse(Data(small), small.size())) << "decoded whole by the other decoders";

    const std::string wide = Encode(Varied(PDFWriter::kMaxImageSide + 1, 2));
    ASSERT_TRUE(decoder.Parse(Data(wide), wide.size()));
    // Damage in the image data, and a cut anywhere, fail the decoding or the parse; never a crash.
    std::string flipped = wide;
    flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x55);
    EXPECT_FALSE(decoder.Parse(Data(flipped), flipped.size())) << "the CRC no longer matches";
    for (size_t cut = 8; cut < wide.size(); cut += wide.size() / 23) {
        EXPECT_FALSE(decoder.Parse(Data(wide), cut)) << cut;
    }
    EXPECT_FALSE(Bitmap::Decode(Data(wide), wide.size() - 20));
}
