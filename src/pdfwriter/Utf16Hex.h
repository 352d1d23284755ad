#pragma once

#include <cstdint>
#include <string_view>

namespace PDFWriter {

class MemoryStream;

// Appends "FEFF" and then four upper-case hexadecimal digits per UTF-16 code unit of `text`
// (characters above U+FFFF as their surrogate pair). Writes no delimiters.
void AppendUtf16Hex(MemoryStream& stream, std::wstring_view text);

// Appends the four upper-case hexadecimal digits of one 16-bit unit.
void AppendHex4(MemoryStream& stream, uint16_t unit);

}  // namespace PDFWriter
