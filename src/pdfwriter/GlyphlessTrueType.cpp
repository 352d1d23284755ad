#include "pdfwriter/GlyphlessTrueType.h"

#include <array>
#include <string>
#include <utility>

namespace PDFWriter {
namespace {

// Big-endian writing, as every TrueType table is stored.
class FontBytes {
public:
    void U16(uint32_t value) {
        bytes.push_back(static_cast<uint8_t>(value >> 8));
        bytes.push_back(static_cast<uint8_t>(value));
    }
    void I16(int32_t value) { U16(static_cast<uint16_t>(static_cast<int16_t>(value))); }
    void U32(uint32_t value) {
        U16(value >> 16);
        U16(value & 0xFFFF);
    }
    void Zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }

    std::vector<uint8_t> bytes;
};

// The sum of a table's big-endian 32-bit words, its length padded with zeros to a multiple of four.
uint32_t TableChecksum(const std::vector<uint8_t>& bytes, size_t begin, size_t length) {
    uint32_t sum = 0;
    for (size_t i = 0; i < length; i += 4) {
        uint32_t word = 0;
        for (size_t k = 0; k < 4; ++k) {
            word = (word << 8) | (i + k < length ? bytes[begin + i + k] : 0u);
        }
        sum += word;
    }
    return sum;
}

constexpr uint16_t kGlyphCount = 2;

std::vector<uint8_t> HeadTable() {
    FontBytes t;
    t.U32(0x00010000);  // version
    t.U32(0x00010000);  // font revision
    t.U32(0);           // checksum adjustment, filled in once the whole file is known
    t.U32(0x5F0F3CF5);  // magic number
    t.U16(0x000B);      // baseline at y = 0, left side bearing at x = 0, integer scaling
    t.U16(kGlyphlessUnitsPerEm);
    t.Zeros(16);  // created and modified
    t.I16(0);     // xMin
    t.I16(kGlyphlessDescent);
    t.I16(kGlyphlessAdvance);
    t.I16(kGlyphlessAscent);
    t.U16(0);  // mac style
    t.U16(3);  // smallest readable size in pixels
    t.I16(2);  // font direction hint
    t.I16(0);  // short loca offsets
    t.I16(0);  // glyph data format
    return std::move(t.bytes);
}

std::vector<uint8_t> HheaTable() {
    FontBytes t;
    t.U32(0x00010000);
    t.I16(kGlyphlessAscent);
    t.I16(kGlyphlessDescent);
    t.I16(0);  // line gap
    t.U16(kGlyphlessAdvance);
    t.I16(0);  // min left side bearing
    t.I16(0);  // min right side bearing
    t.I16(0);  // x max extent
    t.I16(1);  // caret slope rise
    t.I16(0);  // caret slope run
    t.I16(0);  // caret offset
    t.Zeros(8);
    t.I16(0);  // metric data format
    t.U16(kGlyphCount);
    return std::move(t.bytes);
}

std::vector<uint8_t> MaxpTable() {
    FontBytes t;
    t.U32(0x00010000);
    t.U16(kGlyphCount);
    t.Zeros(8);   // points, contours, composite points, composite contours
    t.U16(2);     // zones
    t.Zeros(16);  // twilight points .. component depth
    return std::move(t.bytes);
}

std::vector<uint8_t> HmtxTable() {
    FontBytes t;
    for (uint16_t glyph = 0; glyph < kGlyphCount; ++glyph) {
        t.U16(kGlyphlessAdvance);
        t.I16(0);
    }
    return std::move(t.bytes);
}

std::vector<uint8_t> LocaTable() {
    // Every glyph starts and ends at offset 0: no outlines.
    FontBytes t;
    t.Zeros(2 * (kGlyphCount + 1));
    return std::move(t.bytes);
}

std::vector<uint8_t> GlyfTable() {
    FontBytes t;
    t.Zeros(4);
    return std::move(t.bytes);
}

std::vector<uint8_t> CmapTable() {
    // One Windows Unicode subtable of format 4 that maps nothing: only the closing segment.
    FontBytes t;
    t.U16(0);       // version
    t.U16(1);       // subtables
    t.U16(3);       // platform: Windows
    t.U16(1);       // encoding: Unicode BMP
    t.U32(12);      // offset of the subtable
    t.U16(4);       // format
    t.U16(24);      // length
    t.U16(0);       // language
    t.U16(2);       // segment count x 2
    t.U16(2);       // search range
    t.U16(0);       // entry selector
    t.U16(0);       // range shift
    t.U16(0xFFFF);  // end code
    t.U16(0);       // reserved
    t.U16(0xFFFF);  // start code
    t.I16(1);       // delta
    t.U16(0);       // range offset
    return std::move(t.bytes);
}

std::vector<uint8_t> PostTable() {
    FontBytes t;
    t.U32(0x00030000);  // no glyph names
    t.U32(0);           // italic angle
    t.I16(-100);        // underline position
    t.I16(50);          // underline thickness
    t.U32(1);           // fixed pitch
    t.Zeros(16);
    return std::move(t.bytes);
}

std::vector<uint8_t> BuildFont() {
    // Tags in ascending order, as the directory requires.
    const std::array<std::pair<const char*, std::vector<uint8_t>>, 8> tables = {{
        {"cmap", CmapTable()},
        {"glyf", GlyfTable()},
        {"head", HeadTable()},
        {"hhea", HheaTable()},
        {"hmtx", HmtxTable()},
        {"loca", LocaTable()},
        {"maxp", MaxpTable()},
        {"post", PostTable()},
    }};
    FontBytes font;
    font.U32(0x00010000);
    font.U16(tables.size());
    font.U16(128);  // search range: 16 x the largest power of two not above the table count (8)
    font.U16(3);    // entry selector: log2(8)
    font.U16(0);    // range shift
    size_t offset = 12 + 16 * tables.size();
    size_t headOffset = 0;
    for (const auto& [tag, bytes] : tables) {
        for (int k = 0; k < 4; ++k) {
            font.bytes.push_back(static_cast<uint8_t>(tag[k]));
        }
        font.U32(TableChecksum(bytes, 0, bytes.size()));
        font.U32(static_cast<uint32_t>(offset));
        font.U32(static_cast<uint32_t>(bytes.size()));
        if (std::string(tag) == "head") {
            headOffset = offset;
        }
        offset += (bytes.size() + 3) & ~size_t{3};
    }
    for (const auto& entry : tables) {
        const std::vector<uint8_t>& bytes = entry.second;
        font.bytes.insert(font.bytes.end(), bytes.begin(), bytes.end());
        font.Zeros(((bytes.size() + 3) & ~size_t{3}) - bytes.size());
    }
    const uint32_t adjustment = 0xB1B0AFBAu - TableChecksum(font.bytes, 0, font.bytes.size());
    for (int k = 0; k < 4; ++k) {
        font.bytes[headOffset + 8 + static_cast<size_t>(k)] =
            static_cast<uint8_t>(adjustment >> (24 - 8 * k));
    }
    return std::move(font.bytes);
}

}  // namespace

const std::vector<uint8_t>& GlyphlessTrueType() {
    static const std::vector<uint8_t> font = BuildFont();
    return font;
}

}  // namespace PDFWriter
