#pragma once

#include <string_view>

namespace PDFWriter {

class MemoryStream;

// Appends "FEFF" and then four upper-case hexadecimal digits per UTF-16 code unit of `text`
// (characters above U+FFFF as their surrogate pair). Writes no delimiters.
void AppendUtf16Hex(MemoryStream& stream, std::wstring_view text);

}  // namespace PDFWriter
