#pragma once
// The font of a document's invisible text: a Type0 font with the Identity-H encoding over a
// CIDFontType2 whose every CID draws the one empty glyph of GlyphlessTrueType, and a ToUnicode map
// that gives each CID back its character. CIDs are handed out per document in order of first use,
// one per distinct character, so text of any script (characters above U+FFFF included) is
// extracted exactly as it was drawn.
//
// The document creates its font on the first PDF::TextFont() call; pages encode their text with
// it while they are drawn, and PDF::Finish writes its objects once, after the last page is drawn.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace PDFWriter {

class PDF;

class TextFont {
public:
    // The name under which every page's resources list the font.
    static constexpr const char* kResourceName = "/TextLayer";
    // CIDs run from 1 to kMaxCid; CID 0 is never used.
    static constexpr uint16_t kMaxCid = 0xFFFF;

    // The CID of `character`, assigned now if it has none. Once every CID is taken, characters
    // without one get the CID of U+FFFD (the replacement character), which keeps the last CID free
    // for it. A character that is not a Unicode scalar value (a surrogate, or above U+10FFFF)
    // counts as U+FFFD.
    uint16_t CidFor(char32_t character);

    // The characters by CID (index 0 unused).
    const std::vector<char32_t>& Characters() const { return characters_; }

    // Writes the objects in this order and returns the number of the first, the Type0 font that
    // pages name: Type0 font F, CID font F+1, font descriptor F+2, font file F+3, CIDToGIDMap F+4,
    // ToUnicode map F+5 (each stream's length written directly).
    int32_t Write(PDF& document) const;

private:
    std::vector<char32_t> characters_{0};
    std::unordered_map<char32_t, uint16_t> cids_;
};

}  // namespace PDFWriter
