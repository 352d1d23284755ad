#pragma once
// Where a slide's words lie on the page that shows the slide: the slide's picture may be stacked
// with a second one (a pair), turned a quarter to the left, fitted and centred (see
// imaging/ComposeDocument.h and imaging/PageLayout.h); each word's box goes through the same steps.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/PixelSize.h"
#include "pdfwriter/InvisibleText.h"
#include "slidetext/SlideText.h"

namespace vellumet {

// How one page shows its slides.
struct PagePicture {
    size_t firstSlide = 0;  // the slide at the top of a pair, or the page's only slide
    int32_t slots = 1;      // 1, or 2 for a pair: how the picture is divided
    int32_t shownSlots =
        1;                // the slides it shows: 1 for a pair at the deck's end or whose second is left out
    bool turned = false;  // the (pair) picture was turned a quarter to the left
    PDFWriter::PageBox picture;  // where the picture lies on the page, in units from the top-left
    double pageHeight = 0;
};

// The pages of a composed document that shows the slide pictures in groups of `slidesPerPage`, one
// group a page: `pictures` the size of every slide picture in slide order, `leftOut` the indices of
// the pictures composition left out (a group whose first picture is left out gives no page; a pair
// whose second is left out shows only its first), `imageBoxes` where each page's picture lies, in
// page order. Nothing when the pages that remain are not as many as the boxes, or a page's first
// picture size is unknown (a side of 0).
std::optional<std::vector<PagePicture>> PagePicturesOf(std::span<const PixelSize> pictures,
                                                       std::span<const size_t> leftOut,
                                                       std::span<const PDFWriter::PageBox> imageBoxes,
                                                       int32_t slidesPerPage, PixelSize page);

// The invisible words of the slide in `slot` (0 for the top of a pair or a single slide, 1 for the
// bottom) of a page, in the slide's order. A word's box is first cut to the slide; words whose box
// centre lies outside the slide, and words with nothing left once characters that do not show are
// removed, are left out. A word is followed by a space when it was on the slide, and when the next
// word does not go on with its line, so readers split the words as the slide's reader did.
std::vector<PDFWriter::InvisibleWord> PlaceWords(const SlideText& slide, int32_t slot,
                                                 const PagePicture& page);

}  // namespace vellumet
