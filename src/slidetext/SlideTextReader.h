#pragma once
// Reads every slide's text from the office's PDF of the deck (one page per slide, in slide order):
// the words with their boxes as poppler's pdftotext lays them out, and the titles from the outline as
// qpdf reads it. Both run as programs of their own (poppler-utils, qpdf), so no library under their
// licences is linked into ours; without them the deck simply has no text for us.

#include <optional>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "slidetext/SlideText.h"

namespace vellumet {

// At most this many words are kept of one slide; the rest are left out.
inline constexpr size_t kMaxWordsPerSlide = 20000;

// One SlideText per page of the PDF at `path`, whose first page is slide `firstSlide` + 1 of the
// deck (the office's PDF of a deck may come in parts), or nothing when the file cannot be read (missing,
// damaged, encrypted), pdftotext is missing or takes over two minutes, or `cancel` is set (checked
// while the programs run and between pages). Their output files are written beside `path` and
// removed. Titles come from the outline only when it has exactly one top-level entry per page,
// each opening its page (the office's form; in a part after the first, the office's entries open
// no page, and they are taken in order); an entry that is just the office's default name
// ("Slide <n>" for slide n) gives no title. A word's direction is the direction its line runs in (a
// lone word in a box much taller than wide runs down, any other lone word left to right); words
// that are empty, or whose box is not a real rectangle of the page, are left out.
std::optional<std::vector<SlideText>> ReadSlideText(const std::wstring& path, int firstSlide = 0,
                                                    const CancelToken* cancel = nullptr);

}  // namespace vellumet
