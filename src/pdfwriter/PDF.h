#pragma once
// A PDF 1.4 document under construction. Objects go into `buffer` as soon as their content is
// final; the document keeps only what the closing objects need.
//
// Life cycle: construct (the 16-byte header is written), register images and create pages in any
// interleaving, set the information texts, Finish exactly once, then SavePdf any number of times,
// then destroy (whether or not it was saved). Used by one thread at a time.
//
// Object numbers come only from BeginObject, in writing order: images 1..M as registered, then
// resources M+1, information M+2, page tree M+3, each page P with its content P+1 and the content's
// length P+2 (first page M+4, then +3 per page), and the catalog last.
//
// Navigation and invisible text add objects only when asked for, so a document without them is
// written exactly as above. When a page drew invisible text, the text font's six objects come
// right after the images (TextFont.h) and everything after them moves up by six; when `outline`
// has entries, its root and one object per entry come between the last page and the catalog.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pdfwriter/LocalTime.h"
#include "pdfwriter/MemoryStream.h"
#include "pdfwriter/Outline.h"
#include "pdfwriter/PageLabels.h"
#include "pdfwriter/TextFont.h"

namespace PDFWriter {

class ImageObject;
class Page;

class PDF {
public:
    PDF();
    // Deletes every image, then every page.
    virtual ~PDF();

    PDF(const PDF&) = delete;
    PDF& operator=(const PDF&) = delete;

    // Records the offset of the next object, takes the next number and writes "<n> 0 obj\n".
    // The caller writes the body and "endobj\n" before the next BeginObject.
    void BeginObject();

    // Writes the image's object into the buffer, adopts the image and gives it its number.
    // The image's pixels must already be loaded (ImageObject::LoadPixels).
    void RegisterImage(std::unique_ptr<ImageObject> image);

    // Appends the text font (if any page used it), resources, information, page tree, pages, the
    // outline (if any), catalog, cross-reference table and trailer.
    void Finish();

    // The steps of Finish, each returning the number of the object it wrote.
    int32_t WriteResources();
    int32_t WriteInfo();
    int32_t WritePageTree();
    void WritePages(int32_t pageTree, int32_t resources);
    // The outline's root and entries (Outline.cpp), given the number of the first page object.
    int32_t WriteOutline(int32_t firstPage);
    // The catalog's "/PageLabels" entry from pageLabels (Outline.cpp).
    void AppendPageLabels();

    // The font pages draw invisible text in, created on first use; once created, Finish writes it
    // and every page's resources name it.
    TextFont& InvisibleTextFont();
    bool HasInvisibleText() const { return textFont_ != nullptr; }

    // True when the buffer could not hold the file (see MemoryStream): the file must not be saved.
    bool Failed() const { return buffer_.Failed(); }

    const MemoryStream& Buffer() const { return buffer_; }
    MemoryStream& Buffer() { return buffer_; }
    int32_t ObjectCount() const { return objectCount_; }
    const std::vector<int32_t>& Offsets() const { return offsets_; }
    const std::vector<std::unique_ptr<ImageObject>>& Images() const { return images_; }
    const std::vector<std::unique_ptr<Page>>& Pages() const { return pages_; }

    // The information texts, written by Finish; empty by default.
    std::wstring title;
    std::wstring subject;
    std::wstring author;
    std::wstring producer;

    // Navigation, written by Finish: no outline and no page labels by default. The first range
    // of page labels should start at page 0; ranges out of order or beyond the last page are left
    // out.
    std::vector<OutlineEntry> outline;
    std::vector<PageLabelRange> pageLabels;

    // The clock read for the creation date; replace it to make output reproducible.
    LocalClock clock = CurrentLocalTime;

private:
    friend class Page;  // a new page appends itself to pages_

    MemoryStream buffer_{8192};
    int32_t objectCount_ = 0;
    std::vector<std::unique_ptr<ImageObject>> images_;
    std::vector<std::unique_ptr<Page>> pages_;
    std::vector<int32_t> offsets_;
    std::unique_ptr<TextFont> textFont_;
    int32_t textFontNumber_ = 0;  // set by Finish
};

}  // namespace PDFWriter
