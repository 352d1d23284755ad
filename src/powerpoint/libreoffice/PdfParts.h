#pragma once
// How the office's PDF export of a deck is cut into parts, so that the pages of one part are
// rendered while the office writes the next. Each part costs the office about as much as two
// slides; what is rendered after the office is done is the last part, on every core. So: a small
// first part, to start the rendering early, then parts of equal size, about as many as the square
// root of 0.6 times the slides (8 for 100 slides; measured against 5 and 10 on generated and
// corpus decks).

#include <vector>

namespace powerpoint {

struct SlideSpan {
    int first;  // counted from 1
    int last;   // inclusive
};

// The parts for a deck of `slides` slides, in order, covering each slide once; one part for short
// decks, none for an empty one.
std::vector<SlideSpan> PlanPdfParts(int slides);

}  // namespace powerpoint
