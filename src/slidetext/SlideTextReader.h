#pragma once
// Reads every slide's text from the office's PDF of the deck (one page per slide, in slide order,
// exported with its outline): the words with their boxes as poppler lays them out, and the titles
// from the outline. The one place that talks to poppler; its exceptions end here.

#include <optional>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "slidetext/SlideText.h"

namespace vellumet {

// At most this many words are kept of one slide; the rest are left out.
inline constexpr size_t kMaxWordsPerSlide = 20000;

// One SlideText per page of the PDF at `path`, or nothing when the file cannot be read (missing,
// damaged, encrypted) or `cancel` is seen between pages. Titles come from the outline only when it
// has exactly one top-level entry per page (the office's form); an entry that is just the office's
// default name ("Slide <n>" for page n) gives no title. Words that are empty, or whose box is not
// a real rectangle of the page, are left out.
std::optional<std::vector<SlideText>> ReadSlideText(const std::wstring& path,
                                                    const CancelToken* cancel = nullptr);

}  // namespace vellumet
