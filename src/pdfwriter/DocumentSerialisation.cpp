// The closing objects of a document, the cross-reference table and the trailer.

#include "pdfwriter/ImageObject.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"
#include "pdfwriter/Utf16Hex.h"

namespace PDFWriter {
namespace {

// Appends two digits, zero-filled ("%02d" for 0..99; larger values are written whole).
void AppendTwoDigits(MemoryStream& out, int value) {
    if (value >= 0 && value < 10) {
        out.AppendByte('0');
    }
    AppendInteger(out, value);
}

void AppendReference(MemoryStream& out, int32_t number) {
    AppendInteger(out, number);
    out.AppendText(" 0 R");
}

}  // namespace

void PDF::Finish() {
    if (textFont_) {
        textFontNumber_ = textFont_->Write(*this);
    }
    const int32_t resources = WriteResources();
    const int32_t info = WriteInfo();
    const int32_t pageTree = WritePageTree();
    WritePages(pageTree, resources);
    const int32_t outlineRoot = outline.empty() || pages_.empty() ? 0 : WriteOutline(pageTree + 1);

    BeginObject();
    buffer_.AppendText("<<\n");
    buffer_.AppendText("/Type /Catalog\n");
    buffer_.AppendText("/Pages ");
    AppendReference(buffer_, pageTree);
    buffer_.AppendText("\n");
    if (outlineRoot != 0) {
        buffer_.AppendText("/Outlines ");
        AppendReference(buffer_, outlineRoot);
        buffer_.AppendText("\n/PageMode /UseOutlines\n");
    }
    if (!pageLabels.empty() && !pages_.empty()) {
        AppendPageLabels();
    }
    buffer_.AppendText("/Base ()\n");
    buffer_.AppendText(">>\n");
    buffer_.AppendText("endobj\n");

    // One subsection from object 0; every entry is exactly 20 bytes.
    const int32_t xrefOffset = buffer_.Length();
    buffer_.AppendText("xref\n");
    buffer_.AppendText("0 ");
    AppendInteger(buffer_, objectCount_ + 1);
    buffer_.AppendByte('\n');
    buffer_.AppendText("0000000000 65535 f \n");
    for (const int32_t offset : offsets_) {
        const std::string digits = FormatInteger(offset);
        for (size_t i = digits.size(); i < 10; ++i) {
            buffer_.AppendByte('0');
        }
        buffer_.AppendText(digits.c_str());
        buffer_.AppendText(" 00000 n \n");
    }

    buffer_.AppendText("trailer\n");
    buffer_.AppendText("<<\n");
    buffer_.AppendText("/Size ");
    AppendInteger(buffer_, objectCount_ + 1);
    buffer_.AppendByte('\n');
    buffer_.AppendText("/Root ");
    AppendReference(buffer_, objectCount_);
    buffer_.AppendText("\n");
    buffer_.AppendText("/Info ");
    AppendReference(buffer_, info);
    buffer_.AppendText("\n");
    buffer_.AppendText(">>\n");
    buffer_.AppendText("startxref\n");
    AppendInteger(buffer_, xrefOffset);
    buffer_.AppendByte('\n');
    buffer_.AppendText("%%EOF\n");
}

int32_t PDF::WriteResources() {
    BeginObject();
    const int32_t number = objectCount_;
    buffer_.AppendText("<<\n");
    buffer_.AppendText("/ProcSet [/PDF /Text /ImageC]\n");
    buffer_.AppendText("/Font\n");
    buffer_.AppendText("<<\n");
    if (textFontNumber_ != 0) {
        buffer_.AppendText(TextFont::kResourceName);
        buffer_.AppendByte(' ');
        AppendReference(buffer_, textFontNumber_);
        buffer_.AppendByte('\n');
    }
    buffer_.AppendText(">>\n");
    buffer_.AppendText("/XObject\n");
    buffer_.AppendText("<<\n");
    for (const auto& image : images_) {
        if (!image) {
            continue;
        }
        buffer_.AppendText("/Im");
        AppendInteger(buffer_, image->number);
        buffer_.AppendByte(' ');
        AppendReference(buffer_, image->number);
        buffer_.AppendText("\n");
    }
    buffer_.AppendText(">>\n");
    buffer_.AppendText(">>\n");
    buffer_.AppendText("endobj\n");
    return number;
}

int32_t PDF::WriteInfo() {
    const LocalTime now = clock ? clock() : CurrentLocalTime();

    BeginObject();
    const int32_t number = objectCount_;
    buffer_.AppendText("<<\n");
    const std::pair<const char*, const std::wstring*> texts[] = {
        {"/Title <", &title}, {"/Subject <", &subject}, {"/Author <", &author}, {"/Producer <", &producer}};
    for (const auto& [key, text] : texts) {
        buffer_.AppendText(key);
        AppendUtf16Hex(buffer_, *text);
        buffer_.AppendText(">\n");
    }
    buffer_.AppendText("/CreationDate(D:");
    if (now.year >= 0 && now.year < 1000) {
        for (int limit = 1000; limit > 1 && now.year < limit; limit /= 10) {
            buffer_.AppendByte('0');
        }
    }
    AppendInteger(buffer_, now.year);
    for (const int part : {now.month, now.day, now.hour, now.minute, now.second}) {
        AppendTwoDigits(buffer_, part);
    }
    buffer_.AppendText(")\n");
    buffer_.AppendText(">>\n");
    buffer_.AppendText("endobj\n");
    return number;
}

int32_t PDF::WritePageTree() {
    BeginObject();
    const int32_t number = objectCount_;
    buffer_.AppendText("<<\n");
    buffer_.AppendText("/Type /Pages\n");
    buffer_.AppendText("/Kids [ ");
    // The pages are written right after this object, three objects each.
    int32_t kid = number + 1;
    for (size_t i = 0; i < pages_.size(); ++i, kid += 3) {
        AppendReference(buffer_, kid);
        buffer_.AppendByte(' ');
    }
    buffer_.AppendText("]\n");
    buffer_.AppendText("/Count ");
    AppendInteger(buffer_, static_cast<int64_t>(pages_.size()));
    buffer_.AppendByte('\n');
    buffer_.AppendText(">>\n");
    buffer_.AppendText("endobj\n");
    return number;
}

void PDF::WritePages(int32_t pageTree, int32_t resources) {
    for (const auto& page : pages_) {
        if (!page) {
            continue;
        }
        // Page object P.
        BeginObject();
        const int32_t pageNumber = objectCount_;
        buffer_.AppendText("<<\n");
        buffer_.AppendText("/Type /Page\n");
        buffer_.AppendText("/Parent ");
        AppendReference(buffer_, pageTree);
        buffer_.AppendText("\n");
        buffer_.AppendText("/MediaBox [0 0 ");
        AppendReal(buffer_, page->width);
        buffer_.AppendByte(' ');
        AppendReal(buffer_, page->height);
        buffer_.AppendText("]\n");
        buffer_.AppendText("/Resources ");
        AppendReference(buffer_, resources);
        buffer_.AppendText("\n");
        buffer_.AppendText("/Contents ");
        AppendReference(buffer_, pageNumber + 1);
        buffer_.AppendText("\n");
        buffer_.AppendText(">>\n");
        buffer_.AppendText("endobj\n");

        // Content stream P + 1, its length known only after compression, hence object P + 2.
        BeginObject();
        buffer_.AppendText("<<\n");
        buffer_.AppendText("/Filter /FlateDecode\n");
        buffer_.AppendText("/Length ");
        AppendReference(buffer_, pageNumber + 2);
        buffer_.AppendText("\n");
        buffer_.AppendText(">>\n");
        buffer_.AppendText("stream\n");
        const int32_t start = buffer_.Length();
        buffer_.Append(page->content.Data(), page->content.Length(), true);
        const int32_t end = buffer_.Length();
        buffer_.AppendText("\nendstream\n");
        buffer_.AppendText("endobj\n");

        BeginObject();
        AppendInteger(buffer_, end - start);
        buffer_.AppendByte('\n');
        buffer_.AppendText("endobj\n");
    }
}

}  // namespace PDFWriter
