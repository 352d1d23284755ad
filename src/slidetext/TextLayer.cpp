#include "slidetext/TextLayer.h"

#include <string>
#include <vector>

#include "pdfwriter/Page.h"
#include "slidetext/SlideTitle.h"

namespace vellumet {
namespace {

// The slides a page shows, as indices into the deck: first and one past the last.
std::pair<size_t, size_t> SlidesOf(const PagePicture& page, size_t slideCount) {
    const size_t first = std::min(page.firstSlide, slideCount);
    const size_t end = std::min(first + static_cast<size_t>(page.shownSlots), slideCount);
    return {first, end};
}

void AddOutline(PDFWriter::PDF& document, std::span<const PagePicture> pages, size_t slideCount,
                std::span<const SlideText> slides) {
    static const SlideText kNoText;
    for (size_t k = 0; k < pages.size(); ++k) {
        const auto [first, end] = SlidesOf(pages[k], slideCount);
        for (size_t slide = first; slide < end; ++slide) {
            const SlideText& text = slide < slides.size() ? slides[slide] : kNoText;
            document.outline.push_back(
                {SlideTitle(text, static_cast<int32_t>(slide + 1)), static_cast<int32_t>(k)});
        }
    }
}

void AddPageLabels(PDFWriter::PDF& document, std::span<const PagePicture> pages, size_t slideCount) {
    for (size_t k = 0; k < pages.size(); ++k) {
        const auto [first, end] = SlidesOf(pages[k], slideCount);
        if (first == end) {
            continue;
        }
        const auto page = static_cast<int32_t>(k);
        const auto number = static_cast<int32_t>(first + 1);
        if (end - first == 2) {
            document.pageLabels.push_back(
                {page, std::to_wstring(number) + L"-" + std::to_wstring(number + 1), false, 1});
            continue;
        }
        // Single slides: one decimal range as long as the pages follow the slides one by one.
        const bool continues =
            !document.pageLabels.empty() && document.pageLabels.back().numbered &&
            document.pageLabels.back().firstNumber + (page - document.pageLabels.back().firstPage) == number;
        if (!continues) {
            document.pageLabels.push_back({page, L"", true, number});
        }
    }
}

}  // namespace

void AddTextLayer(PDFWriter::PDF& document, std::span<const PagePicture> pages, size_t slideCount,
                  std::span<const SlideText> slides, TextLayerChoice choice) {
    if (choice.outline) {
        AddOutline(document, pages, slideCount, slides);
        AddPageLabels(document, pages, slideCount);
    }
    if (!choice.searchable) {
        return;
    }
    const auto& documentPages = document.Pages();
    for (size_t k = 0; k < pages.size() && k < documentPages.size(); ++k) {
        const auto [first, end] = SlidesOf(pages[k], slideCount);
        std::vector<PDFWriter::InvisibleWord> words;
        for (size_t slide = first; slide < end && slide < slides.size(); ++slide) {
            std::vector<PDFWriter::InvisibleWord> placed =
                PlaceWords(slides[slide], static_cast<int32_t>(slide - first), pages[k]);
            words.insert(words.end(), std::make_move_iterator(placed.begin()),
                         std::make_move_iterator(placed.end()));
        }
        documentPages[k]->DrawInvisibleText(words);
    }
}

}  // namespace vellumet
