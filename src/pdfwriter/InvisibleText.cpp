#include "pdfwriter/InvisibleText.h"

#include <utility>

#include "pdfwriter/GlyphlessTrueType.h"

namespace PDFWriter {

InvisibleWord InvisibleWordInBox(std::wstring text, const PageBox& box, int quarterTurns, double pageHeight) {
    // Directions on the page with y downwards: the baseline's, and the glyphs' up, a quarter turn
    // anticlockwise from it.
    static constexpr double kDirections[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    const double* direction = kDirections[((quarterTurns % 4) + 4) % 4];
    const double dx = direction[0];
    const double dy = direction[1];
    const double upX = dy;
    const double upY = -dx;

    const double width = box.right - box.left;
    const double height = box.bottom - box.top;
    const bool across = dx != 0;
    InvisibleWord word;
    word.text = std::move(text);
    word.length = across ? width : height;
    word.size = across ? height : width;
    // From the centre back half the length along the baseline, and down to the baseline, which
    // lies the descent's share of the size above the box's lower side.
    const double descentShare = -static_cast<double>(kGlyphlessDescent) / kGlyphlessUnitsPerEm;
    const double centreX = (box.left + box.right) / 2;
    const double centreY = (box.top + box.bottom) / 2;
    const double lift = word.size * (descentShare - 0.5);
    const double startX = centreX - dx * word.length / 2 + upX * lift;
    const double startY = centreY - dy * word.length / 2 + upY * lift;
    // PDF measures y upwards from the page's bottom.
    word.x = startX;
    word.y = pageHeight - startY;
    word.dx = dx;
    word.dy = -dy;
    return word;
}

}  // namespace PDFWriter
