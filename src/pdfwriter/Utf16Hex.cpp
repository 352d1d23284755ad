#include "pdfwriter/Utf16Hex.h"

#include "common/WideText.h"
#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {

void AppendHex4(MemoryStream& stream, uint16_t unit) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char hex[4] = {kDigits[(unit >> 12) & 15], kDigits[(unit >> 8) & 15], kDigits[(unit >> 4) & 15],
                         kDigits[unit & 15]};
    stream.Append(hex, 4);
}

void AppendUtf16Hex(MemoryStream& stream, std::wstring_view text) {
    stream.AppendText("FEFF");
    for (const char16_t unit : vellumet::ToUtf16(text)) {
        AppendHex4(stream, unit);
    }
}

}  // namespace PDFWriter
