#include "slidetext/SlideTextReader.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-global.h>
#include <poppler/cpp/poppler-page.h>
#include <poppler/cpp/poppler-toc.h>

#include <cmath>
#include <exception>
#include <memory>

#include "common/WideText.h"

namespace vellumet {
namespace {

std::wstring FromPoppler(const poppler::ustring& text) {
    std::u16string units(text.begin(), text.end());
    return FromUtf16(units);
}

// poppler reports what it cannot parse on stderr unless told otherwise.
void QuietPoppler() {
    static const bool quiet = [] {
        poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr);
        return true;
    }();
    (void)quiet;
}

std::vector<std::wstring> OutlineTitles(const poppler::document& document) {
    std::vector<std::wstring> titles;
    const std::unique_ptr<poppler::toc> toc(document.create_toc());
    if (!toc || toc->root() == nullptr) {
        return titles;
    }
    for (const poppler::toc_item* item : toc->root()->children()) {
        titles.push_back(item != nullptr ? FromPoppler(item->title()) : std::wstring());
    }
    return titles;
}

SlideText ReadPage(const poppler::page& page) {
    SlideText slide;
    const poppler::rectf area = page.page_rect();
    const double width = area.width();
    const double height = area.height();
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height)) {
        return slide;
    }
    for (const poppler::text_box& box : page.text_list()) {
        if (slide.words.size() >= kMaxWordsPerSlide) {
            break;
        }
        const poppler::rectf r = box.bbox();
        SlideWord word;
        word.text = FromPoppler(box.text());
        word.box = {(r.left() - area.left()) / width, (r.top() - area.top()) / height,
                    (r.right() - area.left()) / width, (r.bottom() - area.top()) / height};
        const bool real = std::isfinite(word.box.left) && std::isfinite(word.box.top) &&
                          std::isfinite(word.box.right) && std::isfinite(word.box.bottom) &&
                          word.box.right > word.box.left && word.box.bottom > word.box.top;
        if (word.text.empty() || !real) {
            continue;
        }
        word.quarterTurns = ((box.rotation() % 4) + 4) % 4;
        word.spaceAfter = box.has_space_after();
        slide.words.push_back(std::move(word));
    }
    return slide;
}

}  // namespace

std::optional<std::vector<SlideText>> ReadSlideText(const std::wstring& path, const CancelToken* cancel) {
    QuietPoppler();
    try {
        const std::unique_ptr<poppler::document> document(poppler::document::load_from_file(ToNative(path)));
        if (!document || document->is_locked()) {
            return std::nullopt;
        }
        const int pages = document->pages();
        std::vector<SlideText> slides;
        slides.reserve(static_cast<size_t>(pages > 0 ? pages : 0));
        for (int i = 0; i < pages; ++i) {
            if (cancel != nullptr && cancel->IsCancelled()) {
                return std::nullopt;
            }
            const std::unique_ptr<poppler::page> page(document->create_page(i));
            slides.push_back(page ? ReadPage(*page) : SlideText{});
        }

        std::vector<std::wstring> titles = OutlineTitles(*document);
        if (titles.size() == slides.size()) {
            for (size_t i = 0; i < titles.size(); ++i) {
                if (titles[i] != L"Slide " + std::to_wstring(i + 1)) {
                    slides[i].title = std::move(titles[i]);
                }
            }
        }
        return slides;
    } catch (const std::exception&) {
        // Allocation failures and whatever poppler throws: the deck has no text for us.
        return std::nullopt;
    }
}

}  // namespace vellumet
