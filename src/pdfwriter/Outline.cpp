// The closing objects of a document's navigation: the outline's objects and the catalog's
// page-label tree.

#include "pdfwriter/Outline.h"

#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/PageLabels.h"
#include "pdfwriter/Utf16Hex.h"

namespace PDFWriter {
namespace {

void AppendReference(MemoryStream& out, int32_t number) {
    AppendInteger(out, number);
    out.AppendText(" 0 R");
}

}  // namespace

int32_t PDF::WriteOutline(int32_t firstPage) {
    // The root R, then the entries R + 1 .. R + n, linked in list order.
    const int32_t root = objectCount_ + 1;
    const auto count = static_cast<int32_t>(outline.size());
    BeginObject();
    buffer_.AppendText("<<\n/Type /Outlines\n/First ");
    AppendReference(buffer_, root + 1);
    buffer_.AppendText("\n/Last ");
    AppendReference(buffer_, root + count);
    buffer_.AppendText("\n/Count ");
    AppendInteger(buffer_, count);
    buffer_.AppendText("\n>>\nendobj\n");

    const auto pageCount = static_cast<int32_t>(pages_.size());
    for (int32_t i = 0; i < count; ++i) {
        const OutlineEntry& entry = outline[static_cast<size_t>(i)];
        const int32_t item = root + 1 + i;
        BeginObject();
        buffer_.AppendText("<<\n/Title <");
        AppendUtf16Hex(buffer_, entry.title);
        buffer_.AppendText(">\n/Parent ");
        AppendReference(buffer_, root);
        buffer_.AppendText("\n");
        if (i > 0) {
            buffer_.AppendText("/Prev ");
            AppendReference(buffer_, item - 1);
            buffer_.AppendText("\n");
        }
        if (i + 1 < count) {
            buffer_.AppendText("/Next ");
            AppendReference(buffer_, item + 1);
            buffer_.AppendText("\n");
        }
        // Pages are three objects each from firstPage (see PDF.h); an index beyond the last page
        // opens the last page.
        int32_t index = entry.pageIndex < 0 ? 0 : entry.pageIndex;
        if (index >= pageCount) {
            index = pageCount - 1;
        }
        buffer_.AppendText("/Dest [");
        AppendReference(buffer_, firstPage + 3 * index);
        buffer_.AppendText(" /Fit]\n>>\nendobj\n");
    }
    return root;
}

void PDF::AppendPageLabels() {
    buffer_.AppendText("/PageLabels << /Nums [");
    int32_t previous = -1;
    for (const PageLabelRange& range : pageLabels) {
        // The number tree needs ascending keys within the pages; anything else is left out.
        if (range.firstPage <= previous || range.firstPage >= static_cast<int32_t>(pages_.size())) {
            continue;
        }
        previous = range.firstPage;
        buffer_.AppendByte('\n');
        AppendInteger(buffer_, range.firstPage);
        buffer_.AppendText(" <<");
        if (range.numbered) {
            buffer_.AppendText(" /S /D");
            if (range.firstNumber != 1) {
                buffer_.AppendText(" /St ");
                AppendInteger(buffer_, range.firstNumber < 1 ? 1 : range.firstNumber);
            }
        }
        if (!range.prefix.empty()) {
            buffer_.AppendText(" /P <");
            AppendUtf16Hex(buffer_, range.prefix);
            buffer_.AppendByte('>');
        }
        buffer_.AppendText(" >>");
    }
    buffer_.AppendText("\n] >>\n");
}

}  // namespace PDFWriter
