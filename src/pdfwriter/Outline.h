#pragma once
// The document outline (bookmarks): a flat list of entries, each a title that opens one page.

#include <cstdint>
#include <string>

namespace PDFWriter {

struct OutlineEntry {
    // Written as a UTF-16 text string (hexadecimal, so any character is safe in the file); the
    // writer takes it as it is: making it fit to show is the caller's part.
    std::wstring title;
    int32_t pageIndex = 0;  // the page it opens, counting from 0 in the document's page order
};

}  // namespace PDFWriter
