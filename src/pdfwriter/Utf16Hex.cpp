#include "pdfwriter/Utf16Hex.h"

#include "common/WideText.h"
#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {

void AppendUtf16Hex(MemoryStream& stream, std::wstring_view text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    stream.AppendText("FEFF");
    for (const char16_t unit : vellumet::ToUtf16(text)) {
        const char hex[4] = {kDigits[(unit >> 12) & 15], kDigits[(unit >> 8) & 15], kDigits[(unit >> 4) & 15],
                             kDigits[unit & 15]};
        stream.Append(hex, 4);
    }
}

}  // namespace PDFWriter
