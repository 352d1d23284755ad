#include "pdfwriter/Page.h"

#include <cmath>

#include "pdfwriter/GlyphlessTrueType.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/TextFont.h"
#include "pdfwriter/Utf16Hex.h"

namespace PDFWriter {

Page::Page(PDF* owner, PageSize size) : width(size.width), height(size.height), document(owner) {
    if (document != nullptr) {
        document->pages_.emplace_back(this);
    }
}

Page::~Page() = default;

void Page::PlaceImage(const ImageObject& image) {
    // The matrix maps the unit square onto the picture; PDF measures y from the page's bottom.
    content.AppendText("q\n");
    AppendReal(content, image.width);
    content.AppendText(" 0 0 ");
    AppendReal(content, image.height);
    content.AppendByte(' ');
    AppendReal(content, image.x);
    content.AppendByte(' ');
    AppendReal(content, height - image.y - image.height);
    content.AppendText(" cm\n");
    content.AppendText("/Im");
    AppendInteger(content, image.number);
    content.AppendText(" Do\n");
    content.AppendText("Q\n");
}

}  // namespace PDFWriter

namespace PDFWriter {
namespace {

bool Drawable(const InvisibleWord& word) {
    return !word.text.empty() && std::isfinite(word.x) && std::isfinite(word.y) && std::isfinite(word.dx) &&
           std::isfinite(word.dy) && std::isfinite(word.size) && std::isfinite(word.length) &&
           word.size >= kMinInvisibleExtent && word.length >= kMinInvisibleExtent;
}

}  // namespace

void Page::DrawInvisibleText(std::span<const InvisibleWord> words) {
    TextFont* font = nullptr;  // the document's, asked for only when a word is drawn
    double size = -1;
    double scale = -1;
    for (const InvisibleWord& word : words) {
        if (!Drawable(word)) {
            continue;
        }
        if (font == nullptr) {
            font = &document->InvisibleTextFont();
            content.AppendText("BT\n3 Tr\n");
        }
        // Every glyph advances kGlyphlessAdvance / 1000 of the size; the horizontal scaling (a
        // percentage) stretches the advances to the word's length.
        const double natural =
            static_cast<double>(word.text.size()) * word.size * kGlyphlessAdvance / kGlyphlessUnitsPerEm;
        const double wordScale = 100.0 * word.length / natural;
        if (word.size != size) {
            size = word.size;
            content.AppendText(TextFont::kResourceName);
            content.AppendByte(' ');
            AppendCompactReal(content, size);
            content.AppendText(" Tf\n");
        }
        if (wordScale != scale) {
            scale = wordScale;
            AppendCompactReal(content, scale);
            content.AppendText(" Tz\n");
        }
        // The text matrix turns the text space onto the baseline; the font size scales it.
        const double length = std::hypot(word.dx, word.dy);
        const double ux = length > 0 ? word.dx / length : 1;
        const double uy = length > 0 ? word.dy / length : 0;
        for (const double value : {ux, uy, -uy, ux, word.x, word.y}) {
            AppendCompactReal(content, value);
            content.AppendByte(' ');
        }
        content.AppendText("Tm\n<");
        for (const wchar_t character : word.text) {
            AppendHex4(content, font->CidFor(static_cast<char32_t>(character)));
        }
        if (word.spaceAfter) {
            AppendHex4(content, font->CidFor(U' '));
        }
        content.AppendText("> Tj\n");
    }
    if (font != nullptr) {
        content.AppendText("ET\n");
    }
}

}  // namespace PDFWriter
