// Fuzz target for the picture path: decode, quarter turn, pair stacking, scaling to a page and
// encoding as an image object, then the same bytes through ComposeDocument as a picture file.
//
// Built with libFuzzer (VELLUMET_LIBFUZZER) it is a fuzzer; otherwise it is a plain program that
// replays the files and folders named on its command line and fails on the first broken invariant.

#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <QImage>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/WideText.h"
#include "imaging/Bitmap.h"
#include "imaging/ComposeDocument.h"
#include "imaging/Flatten.h"
#include "imaging/PageLayout.h"
#include "imaging/PngDecoder.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/Page.h"

namespace {

// Pictures larger than this are decoded but not composed: the fuzzer looks for faults, not for slow
// inputs.
constexpr int64_t kMaxFuzzPixels = 1 << 20;

// The input being replayed, named when an invariant breaks (empty under libFuzzer, which saves it).
std::string currentInput;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken invariant: %s%s%s\n", what, currentInput.empty() ? "" : ", input ",
                     currentInput.c_str());
        std::abort();
    }
}

// The image object's stream must inflate to exactly its declared RGB bytes.
void CheckEncoded(const PDFWriter::ImageObject& image) {
    const uLong expected = static_cast<uLong>(image.width) * static_cast<uLong>(image.height) * 3;
    std::vector<uint8_t> rgb(expected + 1);
    uLongf length = static_cast<uLongf>(rgb.size());
    Require(uncompress(rgb.data(), &length, image.stream.Data(), static_cast<uLong>(image.stream.Length())) ==
                Z_OK,
            "image stream is valid zlib");
    Require(length == expected, "image stream holds width x height x 3 bytes");
}

// Whenever the fast PNG decoder takes a file, Qt's decoder must read the same pixels from it.
void CheckDecodersAgree(const uint8_t* data, size_t size) {
    imaging::PngDecoder fast;
    if (!fast.Parse(data, size) || int64_t{fast.Width()} * fast.Height() > kMaxFuzzPixels ||
        size > static_cast<size_t>(INT32_MAX)) {
        return;
    }
    const int32_t w = fast.Width();
    const int32_t h = fast.Height();
    std::vector<uint8_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
    if (!fast.Decode(rows.data(), ptrdiff_t{w} * 3)) {
        return;
    }
    const QImage qt =
        QImage::fromData(data, static_cast<int>(size), "PNG").convertToFormat(QImage::Format_ARGB32);
    Require(!qt.isNull(), "what the fast decoder reads, Qt reads too");
    Require(qt.width() == w && qt.height() == h, "both decoders agree on the size");
    for (int32_t y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(qt.constScanLine(y));
        for (int32_t x = 0; x < w; ++x) {
            uint8_t expected[3];
            imaging::StoreFlattenedBgr(
                static_cast<uint32_t>(qRed(line[x])), static_cast<uint32_t>(qGreen(line[x])),
                static_cast<uint32_t>(qBlue(line[x])), static_cast<uint32_t>(qAlpha(line[x])), expected);
            Require(std::memcmp(
                        expected,
                        &rows[(static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)) * 3],
                        3) == 0,
                    "both decoders give the same pixels");
        }
    }
}

void ComposeBitmap(imaging::Bitmap& picture, int32_t pageWidth, int32_t pageHeight) {
    std::unique_ptr<imaging::Bitmap> page;
    imaging::Bitmap* current = &picture;
    if (imaging::NeedsQuarterTurn(current->Width(), current->Height(), pageWidth, pageHeight)) {
        const int32_t w = current->Width();
        const int32_t h = current->Height();
        if (current->RotateQuarter()) {
            Require(current->Width() == h && current->Height() == w, "a quarter turn swaps the sides");
        }
    }
    const imaging::Fit fit = imaging::FitToPage(current->Width(), current->Height(), pageWidth, pageHeight);
    Require(fit.width >= 0 && fit.width <= pageWidth && fit.height >= 0 && fit.height <= pageHeight,
            "the fit stays within the page");
    if (fit.width < 1 || fit.height < 1) {
        return;
    }
    if (current->Width() != fit.width || current->Height() != fit.height) {
        page = current->Scaled(fit.width, fit.height);
        Require(page != nullptr, "a page-sized bitmap can be made");
        current = page.get();
    }
    PDFWriter::ImageObject image(current, L"PNG", fit.width, fit.height);
    Require(image.width == fit.width && image.height == fit.height, "the image keeps the fit");
    CheckEncoded(image);
}

// A temporary file for one input's picture bytes, removed when it goes out of scope.
struct ScratchFile {
    ScratchFile() {
        std::string pattern = (std::filesystem::temp_directory_path() / "imaging-fuzz-XXXXXX").string();
        const int fd = ::mkstemp(pattern.data());
        if (fd >= 0) {
            ::close(fd);
            path = pattern;
        }
    }
    ~ScratchFile() {
        if (!path.empty()) {
            std::remove(path.c_str());
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    std::string path;
};

void ComposeFile(const uint8_t* data, size_t size) {
    const ScratchFile file;
    const std::string& path = file.path;
    if (path.empty()) {
        return;
    }
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::vector<std::wstring> pictures{vellumet::FromNative(path), vellumet::FromNative(path),
                                             vellumet::FromNative(path)};
    // One page per picture in rgb, pairs in 16 grays: both palettes' encoders see every input.
    for (int32_t perPage : {1, 2}) {
        const vellumet::PageColours colours{perPage == 1 ? vellumet::Palette::Rgb : vellumet::Palette::Gray16,
                                            vellumet::Dither::Ordered};
        std::vector<vellumet::LeftOutPicture> leftOut;
        std::unique_ptr<PDFWriter::PDF> document =
            ComposeDocument(pictures, 60, 80, perPage, colours, nullptr, &leftOut, 1);
        Require(document != nullptr, "a valid request gives a document");
        Require(document->Pages().size() + leftOut.size() >= (perPage == 1 ? 3u : 2u),
                "every picture gives a page or is named as left out");
        for (const auto& image : document->Images()) {
            Require(image->x >= 0 && image->y >= 0 && image->x + image->width <= 60 &&
                        image->y + image->height <= 80,
                    "the picture lies on the page");
        }
        document->Finish();
        Require(!document->Failed(), "the document is complete");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckDecodersAgree(data, size);
    std::unique_ptr<imaging::Bitmap> picture = imaging::Bitmap::Decode(data, size);
    if (!picture) {
        return 0;
    }
    const int32_t w = picture->Width();
    const int32_t h = picture->Height();
    Require(w >= 1 && h >= 1 && w <= PDFWriter::kMaxImageSide && h <= PDFWriter::kMaxImageSide,
            "a decoded picture is within the side limit");
    if (int64_t{w} * h > kMaxFuzzPixels) {
        return 0;
    }

    // The pair picture: the picture on top, stretched below, the rule between.
    std::unique_ptr<imaging::Bitmap> pair = imaging::Bitmap::Create(w, h * 2);
    Require(pair != nullptr, "a pair within the limits can be made");
    pair->DrawPicture(*picture, 0, 0, w, h);
    pair->DrawPicture(*picture, 0, h, w, h);
    pair->DrawLine(0, h, w, h, 0xFF808080, 1.0);
    Require(pair->PixelRgb(0, h) == 0x808080, "the rule lies on the lower half's top row");

    ComposeBitmap(*picture, 600, 800);
    ComposeBitmap(*pair, 800, 600);
    ComposeFile(data, size);
    return 0;
}

#ifndef VELLUMET_LIBFUZZER
namespace {

int ReplayFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
    }
    currentInput = file.string();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The decoder's complaints about damaged pictures are expected here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    int failures = 0;
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(path, error)) {
            for (const auto& entry : std::filesystem::directory_iterator(path)) {
                if (entry.is_regular_file()) {
                    failures += ReplayFile(entry.path());
                    ++replayed;
                }
            }
        } else {
            failures += ReplayFile(path);
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return failures == 0 && replayed > 0 ? 0 : 1;
}
#endif
