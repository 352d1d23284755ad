#pragma once
// A word of the invisible text layer, placed on a page: it is drawn in text render mode 3 (neither
// filled nor stroked) in the document's TextFont, stretched to span its box, so that readers find,
// select and copy it where the same word shows in the page's picture.

#include <string>

namespace PDFWriter {

struct InvisibleWord {
    std::wstring text;  // one character per code point; characters that are not scalar values count as U+FFFD
    // Where the baseline starts, in units from the page's bottom-left corner, and the unit vector
    // it runs along; the glyphs stand on it towards (-dy, dx).
    double x = 0;
    double y = 0;
    double dx = 1;
    double dy = 0;
    double size = 0;    // font size: the height from the glyphs' descent to their ascent, in units
    double length = 0;  // the distance the whole word spans along the baseline, in units
    // Drawn after the word, beyond its length: a space that tells readers who find words by their
    // spaces where the word ends, however close the next word is.
    bool spaceAfter = false;
};

// A box on a page, in units from the page's top-left corner (y grows downwards).
struct PageBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

// The word that fills `box` on a page `pageHeight` units high: its baseline runs `quarterTurns`
// quarter turns clockwise from left-to-right (1 runs down the page, 3 up), its glyphs' ascent and
// descent touch the box's sides across that direction, and it spans the box's extent along it.
InvisibleWord InvisibleWordInBox(std::wstring text, const PageBox& box, int quarterTurns, double pageHeight);

}  // namespace PDFWriter
