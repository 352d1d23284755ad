#pragma once
// What a slide says, as the outline and the searchable text layer need it: its title and its words
// in reading order, each with its box on the slide. Boxes are fractions of the slide's width and
// height measured from its top-left corner, so they fit the slide's picture at any size.

#include <string>
#include <vector>

namespace vellumet {

struct SlideBox {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

struct SlideWord {
    std::wstring text;  // one character per code point
    SlideBox box;
    // The direction the word's baseline runs on the slide, in quarter turns clockwise from left to
    // right: 1 runs down, 2 right to left (upside down), 3 up.
    int quarterTurns = 0;
    bool spaceAfter = false;  // false at the end of a line
};

struct SlideText {
    // The slide's title as the office names it in its outline; empty when it gave only its default
    // name for the slide.
    std::wstring title;
    std::vector<SlideWord> words;
};

}  // namespace vellumet
