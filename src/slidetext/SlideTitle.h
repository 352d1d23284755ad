#pragma once
// The name of a slide in the outline.

#include <cstddef>
#include <cstdint>
#include <string>

#include "slidetext/SlideText.h"

namespace vellumet {

// Titles longer than this many characters are cut, and end with "…".
inline constexpr size_t kMaxTitleLength = 200;

// The title of slide `number` (counting from 1): the office's title when it gave one, else the
// slide's first line of text, else "Slide <number>". Whatever the source, the text is made fit to
// show: control characters and line breaks become spaces, runs of white space one space, nothing
// leads or trails, characters that are not Unicode scalar values become U+FFFD, and it is cut to
// kMaxTitleLength characters.
std::wstring SlideTitle(const SlideText& slide, int32_t number);

// `text` made fit to show as SlideTitle describes; empty when nothing visible is left.
std::wstring CleanTitle(std::wstring_view text);

}  // namespace vellumet
