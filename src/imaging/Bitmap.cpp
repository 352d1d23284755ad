#include "imaging/Bitmap.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>
#include <QPen>
#include <QTransform>
#include <limits>
#include <utility>

#include "common/WideText.h"

namespace imaging {

struct Bitmap::Pixels {
    QImage image;  // always QImage::Format_BGR888
};

namespace {

constexpr QImage::Format kFormat = QImage::Format_BGR888;

// A picture size the decoder may allocate: each side from 1 to the image limit, and at most
// kMaxDecodeBytes in 32-bit pixels (wider formats are held to the same bound by the reader's
// allocation limit).
bool DecodedSizeAllowed(const QSize& size) {
    if (size.width() < 1 || size.height() < 1 || size.width() > PDFWriter::kMaxImageSide ||
        size.height() > PDFWriter::kMaxImageSide) {
        return false;
    }
    return int64_t{size.width()} * size.height() * 4 <= kMaxDecodeBytes;
}

// Lays one pixel on white and stores it blue, green, red: a channel c with alpha a becomes
// c * a / 255 (rounded, as premultiplied) + 255 - a.
inline void StoreFlattened(QRgb p, bool premultiplied, uchar* target) {
    const uint alpha = static_cast<uint>(qAlpha(p));
    uint red = static_cast<uint>(qRed(p));
    uint green = static_cast<uint>(qGreen(p));
    uint blue = static_cast<uint>(qBlue(p));
    if (alpha != 255) {
        if (!premultiplied) {
            red = (red * alpha + 127) / 255;
            green = (green * alpha + 127) / 255;
            blue = (blue * alpha + 127) / 255;
        }
        const uint paper = 255 - alpha;
        red += paper;
        green += paper;
        blue += paper;
    }
    target[0] = static_cast<uchar>(blue);
    target[1] = static_cast<uchar>(green);
    target[2] = static_cast<uchar>(red);
}

// Pictures up to this size are decoded and flattened in buffers that the thread keeps for its next
// picture; larger ones are released at once.
constexpr qsizetype kKeptScratchBytes = 16 * 1024 * 1024;

// Writes the 32-bit picture `argb` flattened into `out` (24-bit, same size), row by row.
QImage& FlattenRows(const QImage& argb, QImage& out) {
    const bool premultiplied = argb.format() == QImage::Format_ARGB32_Premultiplied;
    const int w = argb.width();
    for (int y = 0; y < argb.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* target = out.scanLine(y);
        for (int x = 0; x < w; ++x, target += 3) {
            StoreFlattened(source[x], premultiplied, target);
        }
    }
    return out;
}

// Opaque 24-bit copy of any decoded picture with transparent pixels laid on white, turned 270
// degrees clockwise when `turn` is set. The common 32-bit formats are converted here; Qt's own
// conversions may fan out to its thread pool, which would compete with the page encoders.
QImage FlattenToBgr(const QImage& image, bool turn) {
    if (image.format() == kFormat) {
        if (!turn) {
            return image;
        }
        // In the image's y-down coordinates a rotation by 270 degrees turns clockwise by 270.
        const QImage turned = image.transformed(QTransform().rotate(270));
        return turned.isNull() || turned.format() == kFormat ? turned : FlattenToBgr(turned, false);
    }
    QImage argb;
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
        case QImage::Format_ARGB32_Premultiplied:
            argb = image;
            break;
        default:
            argb =
                image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
            break;
    }
    if (argb.isNull()) {
        return {};
    }
    if (!turn) {
        QImage out(argb.width(), argb.height(), kFormat);
        return out.isNull() ? out : FlattenRows(argb, out);
    }
    // Flattened into a buffer the thread keeps, then turned by Qt's tiled 24-bit rotation.
    thread_local QImage flat;
    if (flat.size() != argb.size() || flat.format() != kFormat || !flat.isDetached()) {
        flat = QImage(argb.width(), argb.height(), kFormat);
        if (flat.isNull()) {
            return {};
        }
    }
    FlattenRows(argb, flat);
    QImage turned = flat.transformed(QTransform().rotate(270));
    if (flat.sizeInBytes() > kKeptScratchBytes) {
        flat = QImage();
    }
    return turned.isNull() || turned.format() == kFormat ? turned : FlattenToBgr(turned, false);
}

std::unique_ptr<Bitmap::Pixels> DecodeFrom(QIODevice* device, const Bitmap::TurnDecision& turn) {
    QImageReader reader(device);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(static_cast<int>(kMaxDecodeBytes / (1024 * 1024)));
    // The header's size is checked before any pixel is decoded; a format that declares no size
    // is held to the allocation limit alone.
    if (reader.supportsOption(QImageIOHandler::Size) && !DecodedSizeAllowed(reader.size())) {
        return nullptr;
    }
    // The reader reuses a buffer of the right size and format instead of allocating a new one.
    thread_local QImage decoded;
    const bool read = reader.read(&decoded);
    std::unique_ptr<Bitmap::Pixels> pixels;
    if (read && !decoded.isNull() && DecodedSizeAllowed(decoded.size())) {
        pixels = std::make_unique<Bitmap::Pixels>();
        pixels->image = FlattenToBgr(decoded, turn && turn(decoded.width(), decoded.height()));
        if (pixels->image.isNull()) {
            pixels.reset();
        }
    }
    if (decoded.sizeInBytes() > kKeptScratchBytes) {
        decoded = QImage();
    }
    return pixels;
}

QImage NewWhiteImage(int32_t w, int32_t h) {
    if (!BitmapSizeAllowed(w, h)) {
        return {};
    }
    QImage image(w, h, kFormat);
    if (!image.isNull()) {
        image.fill(Qt::white);
    }
    return image;
}

}  // namespace

bool BitmapSizeAllowed(int64_t w, int64_t h) {
    if (w < 1 || h < 1 || w > kMaxBitmapSide || h > kMaxBitmapSide) {
        return false;
    }
    return w * h * 3 <= kMaxBitmapBytes;  // at most 40000 * 40000 * 3: no overflow in 64 bits
}

Bitmap::Bitmap(std::unique_ptr<Pixels> pixels) : pixels_(std::move(pixels)) {}

Bitmap::~Bitmap() = default;

std::unique_ptr<Bitmap> Bitmap::Load(const std::wstring& path, const TurnDecision& turn) {
    // Opened by its bytes, so that any file name works, whatever its encoding.
    const std::string native = vellumet::ToNative(path);
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    auto pixels = DecodeFrom(&file, turn);
    if (!pixels) {
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(pixels)));
}

std::unique_ptr<Bitmap> Bitmap::Decode(const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0 || size > static_cast<size_t>(std::numeric_limits<qsizetype>::max())) {
        return nullptr;
    }
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    auto pixels = DecodeFrom(&buffer, {});
    if (!pixels) {
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(pixels)));
}

std::unique_ptr<Bitmap> Bitmap::Create(int32_t w, int32_t h) {
    auto pixels = std::make_unique<Pixels>();
    pixels->image = NewWhiteImage(w, h);
    if (pixels->image.isNull()) {
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(pixels)));
}

int32_t Bitmap::Width() const {
    return pixels_->image.width();
}

int32_t Bitmap::Height() const {
    return pixels_->image.height();
}

bool Bitmap::RotateQuarter() {
    QImage turned = FlattenToBgr(pixels_->image, true);
    if (turned.isNull()) {
        return false;
    }
    pixels_->image = std::move(turned);
    return true;
}

std::unique_ptr<Bitmap> Bitmap::Scaled(int32_t w, int32_t h) const {
    if (!BitmapSizeAllowed(w, h)) {
        return nullptr;
    }
    auto pixels = std::make_unique<Pixels>();
    pixels->image =
        FlattenToBgr(pixels_->image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), false);
    if (pixels->image.isNull() || pixels->image.width() != w || pixels->image.height() != h) {
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(pixels)));
}

bool Bitmap::DrawPicture(const Bitmap& source, int32_t x, int32_t y, int32_t w, int32_t h) {
    QImage piece;
    if (source.Width() == w && source.Height() == h) {
        piece = source.pixels_->image;
    } else {
        std::unique_ptr<Bitmap> scaled = source.Scaled(w, h);
        if (!scaled) {
            return false;
        }
        piece = std::move(scaled->pixels_->image);
    }
    QPainter painter;
    if (!painter.begin(&pixels_->image)) {
        return false;
    }
    painter.drawImage(QPoint(x, y), piece);
    painter.end();
    return true;
}

void Bitmap::DrawLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint32_t argb, double penWidth) {
    QPainter painter;
    if (!painter.begin(&pixels_->image)) {
        return;
    }
    QPen pen(QColor::fromRgba(argb));
    pen.setWidthF(penWidth);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(QPoint(x0, y0), QPoint(x1, y1));
    painter.end();
}

uint32_t Bitmap::PixelRgb(int32_t x, int32_t y) const {
    const QImage& image = pixels_->image;
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) {
        return 0;
    }
    const uchar* p = image.constScanLine(y) + static_cast<ptrdiff_t>(x) * 3;
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}

bool Bitmap::LockBitsBgr(int32_t w, int32_t h, const uint8_t*& firstRow, ptrdiff_t& stride) {
    const QImage& image = pixels_->image;
    if (w < 1 || h < 1 || w > image.width() || h > image.height()) {
        return false;
    }
    firstRow = image.constBits();
    stride = static_cast<ptrdiff_t>(image.bytesPerLine());
    return true;
}

void Bitmap::UnlockBits() {}

}  // namespace imaging
