#include "slidetext/WordPlacement.h"

#include <algorithm>
#include <cmath>

#include "imaging/PageLayout.h"

namespace vellumet {
namespace {

struct Point {
    double x = 0;
    double y = 0;
};

// A point of the slide in `slot` (fractions from the slide's top-left) on the page.
Point OnPage(double u, double v, int32_t slot, const PagePicture& page) {
    // Stacking: a pair picture holds the two slides one above the other, each half its height.
    double pictureU = u;
    double pictureV = page.slots == 2 ? (v + slot) / 2 : v;
    // Turning a quarter to the left takes the top edge to the left edge and the left edge to the
    // bottom edge.
    if (page.turned) {
        const double turnedU = pictureV;
        pictureV = 1 - pictureU;
        pictureU = turnedU;
    }
    const PDFWriter::PageBox& box = page.picture;
    return {box.left + pictureU * (box.right - box.left), box.top + pictureV * (box.bottom - box.top)};
}

// Characters that draw nothing and that searching skips: controls, and unassigned noncharacters.
bool Shows(wchar_t c) {
    return !(c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFFFE || c == 0xFFFF);
}

// True when `next` goes on with `word`'s line: the same direction, its middle across the line
// within half the lower word's height of `word`'s, and it starts further along the line. Readers
// join such words when nothing separates them, as they joined them on the slide (a footnote mark
// after its word); words on different lines stay apart.
bool ContinuesLine(const SlideWord& word, const SlideWord& next) {
    if (next.quarterTurns != word.quarterTurns) {
        return false;
    }
    const bool across = word.quarterTurns % 2 == 0;  // the line runs across the slide
    const auto middle = [across](const SlideBox& b) {
        return across ? (b.top + b.bottom) / 2 : (b.left + b.right) / 2;
    };
    const auto height = [across](const SlideBox& b) { return across ? b.bottom - b.top : b.right - b.left; };
    const auto start = [&](const SlideBox& b) {
        switch (word.quarterTurns) {
            case 1:
                return b.top;
            case 2:
                return -b.right;
            case 3:
                return -b.bottom;
            default:
                return b.left;
        }
    };
    return std::abs(middle(next.box) - middle(word.box)) <=
               std::min(height(word.box), height(next.box)) / 2 &&
           start(next.box) > start(word.box);
}

}  // namespace

std::optional<std::vector<PagePicture>> PagePicturesOf(std::span<const PixelSize> pictures,
                                                       std::span<const size_t> leftOut,
                                                       std::span<const PDFWriter::PageBox> imageBoxes,
                                                       int32_t slidesPerPage, PixelSize page) {
    if (slidesPerPage != 1 && slidesPerPage != 2) {
        return std::nullopt;
    }
    const auto isLeftOut = [&](size_t index) {
        return std::find(leftOut.begin(), leftOut.end(), index) != leftOut.end();
    };
    const size_t perPage = static_cast<size_t>(slidesPerPage);
    const size_t groups = (pictures.size() + perPage - 1) / perPage;
    std::vector<PagePicture> pages;
    pages.reserve(groups);
    for (size_t group = 0; group < groups; ++group) {
        const size_t firstSlide = group * perPage;
        if (isLeftOut(firstSlide)) {
            continue;
        }
        const PixelSize first = pictures[firstSlide];
        if (first.width < 1 || first.height < 1 || pages.size() >= imageBoxes.size()) {
            return std::nullopt;
        }
        PagePicture shown;
        shown.firstSlide = firstSlide;
        shown.slots = slidesPerPage;
        shown.shownSlots =
            slidesPerPage == 2 && (firstSlide + 1 >= pictures.size() || isLeftOut(firstSlide + 1))
                ? 1
                : slidesPerPage;
        // A pair picture is as wide as its first slide and twice as high.
        const int64_t height = int64_t{first.height} * slidesPerPage;
        shown.turned = imaging::NeedsQuarterTurn(
            first.width, static_cast<int32_t>(std::min<int64_t>(height, INT32_MAX)), page.width, page.height);
        shown.picture = imageBoxes[pages.size()];
        shown.pageHeight = page.height;
        pages.push_back(shown);
    }
    if (pages.size() != imageBoxes.size()) {
        return std::nullopt;
    }
    return pages;
}

std::vector<PDFWriter::InvisibleWord> PlaceWords(const SlideText& slide, int32_t slot,
                                                 const PagePicture& page) {
    std::vector<PDFWriter::InvisibleWord> placed;
    placed.reserve(slide.words.size());
    for (size_t i = 0; i < slide.words.size(); ++i) {
        const SlideWord& word = slide.words[i];
        const SlideBox& b = word.box;
        const double centreU = (b.left + b.right) / 2;
        const double centreV = (b.top + b.bottom) / 2;
        if (!(centreU >= 0 && centreU <= 1 && centreV >= 0 && centreV <= 1)) {
            continue;  // also drops boxes that are not numbers
        }
        std::wstring text;
        text.reserve(word.text.size());
        std::copy_if(word.text.begin(), word.text.end(), std::back_inserter(text), Shows);
        if (text.empty()) {
            continue;
        }
        const Point a = OnPage(std::clamp(b.left, 0.0, 1.0), std::clamp(b.top, 0.0, 1.0), slot, page);
        const Point c = OnPage(std::clamp(b.right, 0.0, 1.0), std::clamp(b.bottom, 0.0, 1.0), slot, page);
        const PDFWriter::PageBox box{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x),
                                     std::max(a.y, c.y)};
        // The quarter turn to the left turns the word's baseline with it.
        const int turns = ((word.quarterTurns % 4) + 4 + (page.turned ? 3 : 0)) % 4;
        placed.push_back(PDFWriter::InvisibleWordInBox(std::move(text), box, turns, page.pageHeight));
        placed.back().spaceAfter =
            word.spaceAfter || i + 1 == slide.words.size() || !ContinuesLine(word, slide.words[i + 1]);
    }
    return placed;
}

}  // namespace vellumet
