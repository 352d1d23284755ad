#include "ImagingTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <QString>
#include <array>
#include <cstdio>
#include <fstream>

#include "common/QStringText.h"
#include "common/WideText.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/Page.h"

namespace imaging_test {

QImage Solid(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

std::wstring SavePng(const QImage& image, const std::wstring& path) {
    EXPECT_TRUE(image.save(vellumet::ToQString(path), "PNG")) << vellumet::ToNative(path);
    return path;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(vellumet::ToPath(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good());
}

std::vector<uint8_t> Inflate(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return out;
    }
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    std::array<uint8_t, 65536> chunk{};
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        status = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
        out.clear();
    }
    return out;
}

std::vector<uint8_t> RgbBytes(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(rgb.width()) * static_cast<size_t>(rgb.height()) * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* row = rgb.constScanLine(y);
        out.insert(out.end(), row, row + static_cast<ptrdiff_t>(rgb.width()) * 3);
    }
    return out;
}

std::vector<uint8_t> ImagePixels(const PDFWriter::PDF& document, size_t index) {
    const int32_t number = document.Images().at(index)->number;
    const std::string file(reinterpret_cast<const char*>(document.Buffer().Data()),
                           static_cast<size_t>(document.Buffer().Length()));
    const size_t start = static_cast<size_t>(document.Offsets().at(static_cast<size_t>(number) - 1));
    const size_t lengthAt = file.find("/Length ", start);
    const size_t streamAt = file.find("stream\n", start);
    if (lengthAt == std::string::npos || streamAt == std::string::npos) {
        ADD_FAILURE() << "image object " << number << " not found";
        return {};
    }
    const size_t length = std::stoul(file.substr(lengthAt + 8, 12));
    const size_t dataAt = streamAt + 7;
    EXPECT_EQ(file.compare(dataAt + length, 11, "\nendstream\n"), 0);
    return Inflate(document.Buffer().Data() + dataAt, length);
}

std::string PageContent(const PDFWriter::PDF& document, size_t index) {
    const PDFWriter::MemoryStream& content = document.Pages().at(index)->content;
    return std::string(reinterpret_cast<const char*>(content.Data()), static_cast<size_t>(content.Length()));
}

void FixClock(PDFWriter::PDF& document) {
    document.clock = [] { return PDFWriter::LocalTime{2024, 5, 6, 7, 8, 9}; };
}

}  // namespace imaging_test
