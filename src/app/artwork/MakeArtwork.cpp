// Draws the program's artwork: the application icon in several sizes and the dialog's banner.
// Run by hand when the artwork changes: make_artwork <output folder>. The pictures it writes are
// committed next to this file.

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

const QColor kBody(0x2b, 0x3a, 0x4a);
const QColor kPaper(0xf6, 0xf2, 0xe7);
const QColor kAccent(0xe0, 0x7a, 0x2e);
const QColor kInk(0x5b, 0x67, 0x73);

// An e-book reader standing upright, its page showing a slide turned on its side, within `box`.
void DrawReader(QPainter& painter, const QRectF& box) {
    const qreal w = box.width();
    const qreal h = box.height();
    const QRectF body(box.left() + w * 0.17, box.top() + h * 0.04, w * 0.66, h * 0.92);
    painter.setPen(Qt::NoPen);

    QLinearGradient bodyFill(body.topLeft(), body.bottomRight());
    bodyFill.setColorAt(0, kBody.lighter(125));
    bodyFill.setColorAt(1, kBody);
    painter.setBrush(bodyFill);
    painter.drawRoundedRect(body, w * 0.07, w * 0.07);

    const qreal margin = body.width() * 0.09;
    const QRectF page(body.left() + margin, body.top() + margin, body.width() - 2 * margin,
                      body.height() - margin * 3.2);
    painter.setBrush(kPaper);
    painter.drawRect(page);

    // The slide, a quarter turn so that its long side runs down the page.
    const QRectF slide(page.left() + page.width() * 0.12, page.top() + page.height() * 0.08,
                       page.width() * 0.76, page.height() * 0.84);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(kInk, qMax(1.0, w / 128)));
    painter.drawRect(slide);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawRect(
        QRectF(slide.right() - slide.width() * 0.22, slide.top(), slide.width() * 0.22, slide.height()));
    if (w >= 32) {
        painter.setBrush(kInk);
        const qreal lineWidth = slide.width() * 0.08;
        for (int i = 0; i < 3; ++i) {
            const qreal x = slide.right() - slide.width() * (0.36 + 0.16 * i);
            const qreal length = slide.height() * (i == 2 ? 0.5 : 0.75);
            painter.drawRect(QRectF(x, slide.top() + slide.height() * 0.12, lineWidth, length));
        }
    }

    // The page-turn button.
    if (w >= 24) {
        painter.setBrush(kBody.lighter(160));
        const qreal bw = body.width() * 0.3;
        painter.drawRoundedRect(
            QRectF(body.center().x() - bw / 2, page.bottom() + margin * 0.7, bw, margin * 0.8), margin * 0.3,
            margin * 0.3);
    }
}

QImage Icon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawReader(painter, QRectF(0, 0, size, size));
    return image;
}

QImage Banner() {
    QImage image(330, 95, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 330, 95);
    sky.setColorAt(0, QColor(0x1d, 0x4b, 0x69));
    sky.setColorAt(1, QColor(0x3b, 0x7d, 0xa6));
    painter.fillRect(image.rect(), sky);

    // Faint pages fanning out behind the reader.
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        painter.save();
        painter.translate(52, 88);
        painter.rotate(-28 + i * 14);
        painter.setBrush(QColor(255, 255, 255, 22 + i * 6));
        painter.drawRect(QRectF(-16, -80, 32, 72));
        painter.restore();
    }
    DrawReader(painter, QRectF(14, 8, 80, 80));

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(34);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(104, 14, 220, 42), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vellumet"));

    painter.setBrush(kAccent);
    painter.drawRect(QRectF(106, 58, 64, 3));

    QFont tagline(QStringLiteral("DejaVu Sans"));
    tagline.setPixelSize(11);
    painter.setFont(tagline);
    painter.setPen(QColor(0xdc, 0xe8, 0xf0));
    painter.drawText(QRectF(106, 64, 220, 20), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Presentations for your e-book reader"));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_artwork <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("icons"))) {
        return 1;
    }
    bool ok = Banner().save(out.filePath(QStringLiteral("banner.png")));
    for (int size : {16, 32, 48, 256}) {
        ok = Icon(size).save(out.filePath(QStringLiteral("icons/vellumet-%1.png").arg(size))) && ok;
    }
    return ok ? 0 : 1;
}
