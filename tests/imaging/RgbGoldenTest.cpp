// The rgb palette must keep writing exactly the file the five table devices have always produced.
// The golden file was written by the composition before gray palettes existed; it is compared as
// its object layout plus decompressed streams (so a zlib upgrade does not break it), and byte for
// byte whenever the zlib that wrote it is the one linked here.

#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "ImagingTestSupport.h"
#include "common/WideText.h"
#include "imaging/ComposeDocument.h"

using namespace imaging_test;

namespace {

const std::string kGoldenFolder = VELLUMET_GOLDEN_DIR;

// Cells of flat colour computed from their coordinates alone, so the input never depends on a
// painter; the third picture fades to transparent from left to right.
QImage Procedural(int w, int h, int seed, bool alpha) {
    QImage image(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int cell = (x / 30) + (y / 30) * 5 + seed;
            const int r = (cell * 53) % 256;
            const int g = (cell * 97 + 40) % 256;
            const int b = (cell * 151 + 90) % 256;
            const int a = alpha ? 255 - (x / 25) * 60 : 255;
            image.setPixel(x, y, qRgba(r, g, b, a));
        }
    }
    return image;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file with every stream's data replaced by its inflated bytes, and the numbers that only
// follow the compressed sizes (stream lengths, cross-reference offsets) masked.
struct Dissected {
    std::string layout;
    std::vector<std::vector<uint8_t>> streams;
};

Dissected Dissect(const std::string& pdf) {
    Dissected parts;
    size_t at = 0;
    while (true) {
        const size_t start = pdf.find("stream\n", at);
        if (start == std::string::npos || pdf.compare(start - 3, 3, "end") == 0) {
            break;
        }
        const size_t dataAt = start + 7;
        const size_t end = pdf.find("\nendstream\n", dataAt);
        if (end == std::string::npos) {
            ADD_FAILURE() << "a stream has no end";
            break;
        }
        parts.layout += pdf.substr(at, dataAt - at) + "<data>";
        parts.streams.push_back(Inflate(reinterpret_cast<const uint8_t*>(pdf.data()) + dataAt, end - dataAt));
        at = end;
    }
    parts.layout += pdf.substr(at);
    parts.layout = std::regex_replace(parts.layout, std::regex("/Length [0-9]+\n"), "/Length #\n");
    parts.layout = std::regex_replace(parts.layout, std::regex("obj\n[0-9]+\nendobj"), "obj\n#\nendobj");
    parts.layout = std::regex_replace(parts.layout, std::regex("[0-9]{10} 00000 n"), "# n");
    parts.layout = std::regex_replace(parts.layout, std::regex("startxref\n[0-9]+"), "startxref\n#");
    return parts;
}

// The composed file of `pictures` on a page of the given size, finished with a fixed clock.
std::string ComposedFile(const std::vector<std::wstring>& pictures, int32_t w, int32_t h, int32_t perPage) {
    std::unique_ptr<PDFWriter::PDF> document = ComposeDocument(pictures, w, h, perPage, nullptr, 2);
    if (!document) {
        ADD_FAILURE() << "no document";
        return {};
    }
    FixClock(*document);
    document->Finish();
    return std::string(reinterpret_cast<const char*>(document->Buffer().Data()),
                       static_cast<size_t>(document->Buffer().Length()));
}

}  // namespace

TEST(RgbGolden, TableDevicesWriteTheSameFileAsBefore) {
    TempFolder folder;
    const std::vector<std::wstring> pictures = {
        SavePng(Procedural(120, 90, 1, false), folder.File("1.png")),
        SavePng(Procedural(90, 120, 2, false), folder.File("2.png")),
        SavePng(Procedural(100, 75, 3, true), folder.File("3.png")),
    };
    struct Case {
        const char* name;
        int32_t w, h, perPage;
    };
    // Kindle 2 one slide a page (turned and enlarged), Small (600*800) two a page with the lower
    // half of the last page left white.
    for (const Case& c : {Case{"kindle2-single", 560, 750, 1}, Case{"small-pairs", 600, 800, 2}}) {
        SCOPED_TRACE(c.name);
        const std::string file = ComposedFile(pictures, c.w, c.h, c.perPage);
        const std::string goldenPath = kGoldenFolder + "/rgb-" + c.name + ".pdf";
        const std::string zlibPath = goldenPath + ".zlib";
        if (std::getenv("VELLUMET_WRITE_GOLDEN") != nullptr) {
            WriteFile(goldenPath, file);
            WriteFile(zlibPath, zlibVersion());
            continue;
        }
        const std::string golden = ReadFile(goldenPath);
        ASSERT_FALSE(golden.empty()) << goldenPath;
        const Dissected expected = Dissect(golden);
        const Dissected got = Dissect(file);
        EXPECT_EQ(got.layout, expected.layout);
        ASSERT_EQ(got.streams.size(), expected.streams.size());
        for (size_t i = 0; i < got.streams.size(); ++i) {
            EXPECT_FALSE(got.streams[i].empty());
            EXPECT_TRUE(got.streams[i] == expected.streams[i]) << "stream " << i;
        }
        if (ReadFile(zlibPath) == zlibVersion()) {
            EXPECT_TRUE(file == golden) << "not the same bytes";
        }
    }
}
