// vellumet-rasterise: one worker of the rasteriser (PdfRasteriser.h). Renders pages of a PDF file
// with pdfium (through QtPdf) into opaque RGB pictures, transparent parts laid on white, and sends
// them back as PNG files. The conversation is in RasteriserProtocol.h. pdfium serialises every
// call within a process, so parallel rendering takes one worker process per core. Workers run at a
// lower priority than the office, whose export they wait for.

#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/ProcessSetup.h"
#include "common/WholeTransfers.h"
#include "imaging/PngEncoder.h"
#include "powerpoint/libreoffice/RasteriserProtocol.h"

namespace {

using namespace powerpoint::rasteriser;

constexpr int kMaxSide = 8192;

// The page as 24-bit RGB rows, transparent parts laid on white; null when pdfium fails.
QImage RenderPage(QPdfDocument& document, const PageRequest& request) {
    if (request.page < 0 || request.page >= document.pageCount() || request.width < 1 || request.height < 1 ||
        request.width > kMaxSide || request.height > kMaxSide) {
        return {};
    }
    const QSize size(request.width, request.height);
    const QImage rendered = document.render(request.page, size);
    if (rendered.isNull() || rendered.size() != size) {
        return {};
    }
    const bool premultiplied = rendered.format() == QImage::Format_ARGB32_Premultiplied;
    if (!premultiplied && rendered.format() != QImage::Format_ARGB32) {
        QImage opaque(size, QImage::Format_RGB32);
        opaque.fill(Qt::white);
        {
            QPainter painter(&opaque);
            painter.drawImage(0, 0, rendered);
        }
        return opaque.convertToFormat(QImage::Format_RGB888);
    }
    // Over white, a premultiplied channel c of opacity a becomes c + 255 - a. Pages are opaque
    // almost everywhere (the slide's background is drawn first): those pixels are only copied.
    QImage opaque(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y) {
        const auto* in = reinterpret_cast<const uint32_t*>(rendered.constScanLine(y));
        uint8_t* out = opaque.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            if (in[x] >= 0xff000000u) {
                out[3 * x] = static_cast<uint8_t>(in[x] >> 16);
                out[3 * x + 1] = static_cast<uint8_t>(in[x] >> 8);
                out[3 * x + 2] = static_cast<uint8_t>(in[x]);
                continue;
            }
            const uint32_t pixel = premultiplied ? in[x] : qPremultiply(in[x]);
            const uint32_t clear = 255 - (pixel >> 24);
            out[3 * x] = static_cast<uint8_t>(((pixel >> 16) & 0xff) + clear);
            out[3 * x + 1] = static_cast<uint8_t>(((pixel >> 8) & 0xff) + clear);
            out[3 * x + 2] = static_cast<uint8_t>((pixel & 0xff) + clear);
        }
    }
    return opaque;
}

}  // namespace

int main() {
    vellumet::YieldToTheOffice();
    // A document object per file: only its end lets go of the file (close() does not).
    std::unique_ptr<QPdfDocument> document;
    PageRequest request{};
    while (vellumet::ReadWhole(STDIN_FILENO, &request, sizeof request)) {
        if (request.page == kOpenFile) {
            if (request.width < 0 || request.width > kMaxPathBytes) {
                return 1;
            }
            std::string path(static_cast<size_t>(request.width), '\0');
            if (!vellumet::ReadWhole(STDIN_FILENO, path.data(), path.size())) {
                return 1;
            }
            document.reset();
            // No path: only let go of the file.
            Hello hello{path.empty() ? 0 : -1};
            if (!path.empty()) {
                document = std::make_unique<QPdfDocument>();
                if (document->load(QString::fromLocal8Bit(
                        path.data(), static_cast<qsizetype>(path.size()))) == QPdfDocument::Error::None) {
                    hello.pageCount = document->pageCount();
                }
            }
            if (!vellumet::WriteWhole(STDOUT_FILENO, &hello, sizeof hello) || hello.pageCount < 0) {
                return 1;
            }
            continue;
        }
        PageAnswer answer{request.page, kPageNotRendered, 0};
        std::vector<uint8_t> png;
        const QImage picture = document ? RenderPage(*document, request) : QImage();
        if (!picture.isNull()) {
            png = imaging::EncodeRgbPng(picture.constBits(), picture.bytesPerLine(), picture.width(),
                                        picture.height());
            answer.status = png.empty() || png.size() > kMaxPngBytes ? kPageNotEncoded : kPageDone;
        }
        if (answer.status == kPageDone) {
            answer.pngBytes = static_cast<uint32_t>(png.size());
        }
        if (!vellumet::WriteWhole(STDOUT_FILENO, &answer, sizeof answer) ||
            (answer.status == kPageDone && !vellumet::WriteWhole(STDOUT_FILENO, png.data(), png.size()))) {
            return 1;
        }
        if (answer.status != kPageDone) {
            return 1;
        }
    }
    return 0;
}
