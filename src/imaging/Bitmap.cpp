#include "imaging/Bitmap.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QPainter>
#include <QPen>
#include <QTransform>
#include <limits>
#include <optional>
#include <utility>

#include "common/PngChunks.h"
#include "common/ScratchBuffer.h"
#include "common/WideText.h"
#include "imaging/Flatten.h"
#include "imaging/PngDecoder.h"
#include "imaging/PngReducedDecoder.h"

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

// Lays one pixel on white and stores it blue, green, red (see Flatten.h); a premultiplied channel
// already holds c * a / 255.
inline void StoreFlattened(QRgb p, bool premultiplied, uchar* target) {
    const auto alpha = static_cast<uint32_t>(qAlpha(p));
    if (premultiplied && alpha != 255) {
        const uint32_t paper = 255 - alpha;
        target[0] = static_cast<uchar>(static_cast<uint32_t>(qBlue(p)) + paper);
        target[1] = static_cast<uchar>(static_cast<uint32_t>(qGreen(p)) + paper);
        target[2] = static_cast<uchar>(static_cast<uint32_t>(qRed(p)) + paper);
        return;
    }
    StoreFlattenedBgr(static_cast<uint32_t>(qRed(p)), static_cast<uint32_t>(qGreen(p)),
                      static_cast<uint32_t>(qBlue(p)), alpha, target);
}

// Pictures up to vellumet::kKeptScratchBytes are decoded and flattened in buffers that the thread
// keeps for its next picture (see common/ScratchBuffer.h); larger ones are released at once.
void TrimScratchImage(QImage& image) {
    if (static_cast<size_t>(image.sizeInBytes()) > vellumet::kKeptScratchBytes) {
        image = QImage();
    }
}

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
    TrimScratchImage(flat);
    return turned.isNull() || turned.format() == kFormat ? turned : FlattenToBgr(turned, false);
}

std::unique_ptr<Bitmap::Pixels> DecodeFrom(QIODevice* device, const Bitmap::TurnDecision& turn,
                                           vellumet::LeftOutReason& why) {
    QImageReader reader(device);
    reader.setAutoTransform(false);
    reader.setAllocationLimit(static_cast<int>(kMaxDecodeBytes / (1024 * 1024)));
    // The header's size is checked before any pixel is decoded; a format that declares no size
    // is held to the allocation limit alone.
    if (reader.supportsOption(QImageIOHandler::Size) && !DecodedSizeAllowed(reader.size())) {
        why = reader.size().isValid() ? vellumet::LeftOutReason::TooLarge : vellumet::LeftOutReason::Damaged;
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
    if (!pixels) {
        why =
            read && !decoded.isNull() ? vellumet::LeftOutReason::TooLarge : vellumet::LeftOutReason::Damaged;
    }
    TrimScratchImage(decoded);
    return pixels;
}

// A PNG picture over the decode limits, decoded at a reduced size and turned when `turn` says so;
// null when its image data is damaged or memory is short.
std::unique_ptr<Bitmap::Pixels> DecodeReduced(const PngReducedDecoder& png,
                                              const Bitmap::TurnDecision& turn) {
    QImage image(png.Width(), png.Height(), kFormat);
    if (image.isNull() || !png.Decode(image.bits(), image.bytesPerLine())) {
        return nullptr;
    }
    if (turn && turn(image.width(), image.height())) {
        image = FlattenToBgr(image, true);
        if (image.isNull()) {
            return nullptr;
        }
    }
    auto pixels = std::make_unique<Bitmap::Pixels>();
    pixels->image = std::move(image);
    return pixels;
}

// Decodes a picture held in memory: the fast PNG decoder first, then the reduced-size decoder for
// PNG pictures over the limits, Qt's readers for everything they decline or find damaged.
std::unique_ptr<Bitmap::Pixels> DecodeBytes(const uint8_t* data, size_t size,
                                            const Bitmap::TurnDecision& turn, vellumet::LeftOutReason& why) {
    PngDecoder png;
    if (png.Parse(data, size)) {
        const int w = png.Width();
        const int h = png.Height();
        // Turned pictures are turned while their rows are stored.
        const bool turned = turn && turn(w, h);
        QImage image = turned ? QImage(h, w, kFormat) : QImage(w, h, kFormat);
        if (!image.isNull() && !png.Decode(image.bits(), image.bytesPerLine(), turned)) {
            image = QImage();
        }
        if (!image.isNull()) {
            auto pixels = std::make_unique<Bitmap::Pixels>();
            pixels->image = std::move(image);
            return pixels;
        }
    }
    if (PngReducedDecoder reduced; reduced.Parse(data, size)) {
        std::unique_ptr<Bitmap::Pixels> pixels = DecodeReduced(reduced, turn);
        if (!pixels) {
            why = vellumet::LeftOutReason::Damaged;
        }
        return pixels;
    }
    why = vellumet::LeftOutReason::Damaged;
    if (size > static_cast<size_t>(std::numeric_limits<qsizetype>::max()) ||
        (vellumet::HasPngSignature(data, size) && !PngDecoder::ChunksFitInFile(data, size))) {
        return nullptr;
    }
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        return nullptr;
    }
    return DecodeFrom(&buffer, turn, why);
}

// Picture files are read whole; larger ones than this are refused (a picture within the decode
// limit is far smaller).
constexpr off_t kMaxPictureFile = 1024 * 1024 * 1024;

// Reads the whole regular file `fd` of `size` bytes into `scratch`; the bytes read, or nothing on a
// read error or when memory is short.
std::optional<size_t> ReadWhole(int fd, off_t size, vellumet::ScratchBuffer& scratch, const uint8_t*& bytes) {
    // One byte at least, so that an empty file too gets a valid pointer.
    uint8_t* const out = scratch.Get(size > 0 ? static_cast<size_t>(size) : 1);
    if (out == nullptr) {
        return std::nullopt;
    }
    const size_t wanted = static_cast<size_t>(size);
    size_t done = 0;
    while (done < wanted) {
        const ssize_t n = ::read(fd, out + done, wanted - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;  // the file shrank meanwhile: decode what is there
        }
        done += static_cast<size_t>(n);
    }
    bytes = out;
    return done;
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

std::unique_ptr<Bitmap> Bitmap::Load(const std::wstring& path, const TurnDecision& turn,
                                     vellumet::LeftOutReason* why) {
    vellumet::LeftOutReason ignored = vellumet::LeftOutReason::Damaged;
    vellumet::LeftOutReason& reason = why != nullptr ? *why : ignored;
    reason = vellumet::LeftOutReason::Unreadable;
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
    if (info.st_size > kMaxPictureFile) {
        ::close(fd);
        reason = vellumet::LeftOutReason::TooLarge;
        return nullptr;
    }
    // Read whole, so that the picture's structure can be checked before any decoder allocates.
    thread_local vellumet::ScratchBuffer fileBytes;
    const uint8_t* bytes = nullptr;
    const std::optional<size_t> read = ReadWhole(fd, info.st_size, fileBytes, bytes);
    ::close(fd);
    std::unique_ptr<Pixels> pixels;
    if (read) {
        pixels = DecodeBytes(bytes, *read, turn, reason);
    }
    fileBytes.Trim();
    if (!pixels) {
        return nullptr;
    }
    return std::unique_ptr<Bitmap>(new Bitmap(std::move(pixels)));
}

std::unique_ptr<Bitmap> Bitmap::Decode(const uint8_t* data, size_t size) {
    if (data == nullptr || size == 0) {
        return nullptr;
    }
    vellumet::LeftOutReason ignored = vellumet::LeftOutReason::Damaged;
    auto pixels = DecodeBytes(data, size, {}, ignored);
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
