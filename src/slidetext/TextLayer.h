#pragma once
// The ways to find one's way in a composed document: an outline entry and a page label per slide,
// and the slides' words as invisible text on their pages.

#include <cstddef>
#include <span>

#include "pdfwriter/PDF.h"
#include "slidetext/SlideText.h"
#include "slidetext/WordPlacement.h"

namespace vellumet {

struct TextLayerChoice {
    bool outline = false;     // an outline entry per slide and page labels with the slide numbers
    bool searchable = false;  // the invisible words
};

// Adds what `choice` asks for to `document` (composed, not yet finished), whose pages `pages`
// describes (PagePicturesOf), for a deck of `slideCount` slides whose text is `slides` (one per
// slide; shorter or empty when the text is unknown, and those slides get "Slide <n>" and no words).
// Outline: one entry per slide titled SlideTitle, opening the slide's page (both slides of a pair
// open their shared page). Labels: each page is labelled with its slide's number, or "<n>-<m>" for
// a pair. Words: PlaceWords for each slide on its page.
void AddTextLayer(PDFWriter::PDF& document, std::span<const PagePicture> pages, size_t slideCount,
                  std::span<const SlideText> slides, TextLayerChoice choice);

}  // namespace vellumet
