#include "pdfwriter/TextFont.h"

#include <algorithm>

#include "common/WideText.h"
#include "pdfwriter/GlyphlessTrueType.h"
#include "pdfwriter/MemoryStream.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Utf16Hex.h"

namespace PDFWriter {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr const char* kFontName = "/VellumetGlyphless";
// ToUnicode maps may hold at most 100 entries per bfchar block.
constexpr size_t kMapBlock = 100;

bool IsScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void AppendReference(MemoryStream& out, int32_t number) {
    AppendInteger(out, number);
    out.AppendText(" 0 R");
}

// Writes "<<\n" + dictionary lines + "/Length n\n>>\nstream\n" + data + "\nendstream\nendobj\n",
// the data compressed; `extra` holds the other dictionary lines.
void WriteStreamObject(PDF& document, const std::string& extra, const MemoryStream& data) {
    MemoryStream packed(0);
    packed.Append(data.Data(), data.Length(), true);
    MemoryStream& out = document.Buffer();
    out.AppendText("<<\n");
    out.AppendText(extra.c_str());
    out.AppendText("/Filter /FlateDecode\n/Length ");
    AppendInteger(out, packed.Length());
    out.AppendText("\n>>\nstream\n");
    out.Append(packed.Data(), packed.Length());
    out.AppendText("\nendstream\nendobj\n");
}

void WriteToUnicode(PDF& document, const std::vector<char32_t>& characters) {
    MemoryStream map(4096);
    map.AppendText(
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n");
    const size_t count = characters.size() - 1;
    for (size_t first = 1; first <= count; first += kMapBlock) {
        const size_t last = std::min(count, first + kMapBlock - 1);
        AppendInteger(map, static_cast<int64_t>(last - first + 1));
        map.AppendText(" beginbfchar\n");
        for (size_t cid = first; cid <= last; ++cid) {
            const char32_t c = characters[cid];
            map.AppendByte('<');
            AppendHex4(map, static_cast<uint16_t>(cid));
            map.AppendText("> <");
            for (const char16_t unit : vellumet::ToUtf16(std::wstring(1, static_cast<wchar_t>(c)))) {
                AppendHex4(map, unit);
            }
            map.AppendText(">\n");
        }
        map.AppendText("endbfchar\n");
    }
    map.AppendText("endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n");
    WriteStreamObject(document, "", map);
}

}  // namespace

uint16_t TextFont::CidFor(char32_t character) {
    if (!IsScalarValue(character)) {
        character = kReplacement;
    }
    if (const auto found = cids_.find(character); found != cids_.end()) {
        return found->second;
    }
    if (characters_.size() >= kMaxCid && character != kReplacement) {
        return CidFor(kReplacement);
    }
    const auto cid = static_cast<uint16_t>(characters_.size());
    characters_.push_back(character);
    cids_.emplace(character, cid);
    return cid;
}

int32_t TextFont::Write(PDF& document) const {
    MemoryStream& out = document.Buffer();
    const int32_t first = document.ObjectCount() + 1;
    const auto maxCid = static_cast<int64_t>(characters_.size() - 1);

    document.BeginObject();
    out.AppendText("<<\n/Type /Font\n/Subtype /Type0\n/BaseFont ");
    out.AppendText(kFontName);
    out.AppendText("\n/Encoding /Identity-H\n/DescendantFonts [");
    AppendReference(out, first + 1);
    out.AppendText("]\n/ToUnicode ");
    AppendReference(out, first + 5);
    out.AppendText("\n>>\nendobj\n");

    document.BeginObject();
    out.AppendText("<<\n/Type /Font\n/Subtype /CIDFontType2\n/BaseFont ");
    out.AppendText(kFontName);
    out.AppendText(
        "\n/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>\n"
        "/FontDescriptor ");
    AppendReference(out, first + 2);
    out.AppendText("\n/DW ");
    AppendInteger(out, kGlyphlessAdvance);
    out.AppendText("\n/W [0 ");
    AppendInteger(out, std::max<int64_t>(maxCid, 1));
    out.AppendByte(' ');
    AppendInteger(out, kGlyphlessAdvance);
    out.AppendText("]\n/CIDToGIDMap ");
    AppendReference(out, first + 4);
    out.AppendText("\n>>\nendobj\n");

    document.BeginObject();
    out.AppendText("<<\n/Type /FontDescriptor\n/FontName ");
    out.AppendText(kFontName);
    out.AppendText("\n/Flags 5\n/FontBBox [0 ");
    AppendInteger(out, kGlyphlessDescent);
    out.AppendByte(' ');
    AppendInteger(out, kGlyphlessAdvance);
    out.AppendByte(' ');
    AppendInteger(out, kGlyphlessAscent);
    out.AppendText("]\n/ItalicAngle 0\n/Ascent ");
    AppendInteger(out, kGlyphlessAscent);
    out.AppendText("\n/Descent ");
    AppendInteger(out, kGlyphlessDescent);
    out.AppendText("\n/CapHeight ");
    AppendInteger(out, kGlyphlessAscent);
    out.AppendText("\n/StemV 80\n/FontFile2 ");
    AppendReference(out, first + 3);
    out.AppendText("\n>>\nendobj\n");

    const std::vector<uint8_t>& program = GlyphlessTrueType();
    MemoryStream fontFile(static_cast<int32_t>(program.size()));
    fontFile.Append(program.data(), static_cast<int32_t>(program.size()));
    document.BeginObject();
    WriteStreamObject(document, "/Length1 " + FormatInteger(static_cast<int64_t>(program.size())) + "\n",
                      fontFile);

    // Every CID in use draws the one glyph; CID 0 keeps .notdef.
    MemoryStream glyphs(static_cast<int32_t>(2 * (maxCid + 1)));
    glyphs.AppendByte(0);
    glyphs.AppendByte(0);
    for (int64_t cid = 1; cid <= maxCid; ++cid) {
        glyphs.AppendByte(0);
        glyphs.AppendByte(kGlyphlessGlyph);
    }
    document.BeginObject();
    WriteStreamObject(document, "", glyphs);

    document.BeginObject();
    WriteToUnicode(document, characters_);
    return first;
}

}  // namespace PDFWriter
