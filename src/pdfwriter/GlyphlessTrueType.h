#pragma once
// The font program behind the searchable text layer: a TrueType font of two glyphs, both empty,
// each 500 units of a 1000-unit em wide, with an ascent of 800 and a descent of 200. Text drawn in
// it shows nothing whatever the render mode; it exists so that readers can measure, select and
// extract the words laid over the page pictures.

#include <cstdint>
#include <vector>

namespace PDFWriter {

// The font's figures, which the PDF objects that describe it repeat.
inline constexpr int32_t kGlyphlessUnitsPerEm = 1000;
inline constexpr int32_t kGlyphlessAdvance = 500;
inline constexpr int32_t kGlyphlessAscent = 800;
inline constexpr int32_t kGlyphlessDescent = -200;
// The glyph every character is drawn with (glyph 0 is .notdef).
inline constexpr uint16_t kGlyphlessGlyph = 1;

// The whole font file: the table directory and the tables head, hhea, maxp, hmtx, loca, glyf,
// cmap and post, each with its checksum, and the head table's checksum adjustment. Always the same
// bytes.
const std::vector<uint8_t>& GlyphlessTrueType();

}  // namespace PDFWriter
