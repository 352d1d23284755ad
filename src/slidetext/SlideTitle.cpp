#include "slidetext/SlideTitle.h"

namespace vellumet {
namespace {

// Characters that move the cursor or control the terminal rather than show: C0, DEL, C1, and the
// line and paragraph separators.
bool IsControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

bool IsScalarValue(wchar_t c) {
    const auto value = static_cast<uint32_t>(c);
    return value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
}

bool IsSpace(wchar_t c) {
    return c == L' ' || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

std::wstring FirstLine(const SlideText& slide) {
    std::wstring line;
    for (const SlideWord& word : slide.words) {
        if (!line.empty()) {
            line += L' ';
        }
        line += word.text;
        if (!word.spaceAfter || line.size() > kMaxTitleLength) {
            break;
        }
    }
    return line;
}

}  // namespace

std::wstring CleanTitle(std::wstring_view text) {
    std::wstring clean;
    bool pendingSpace = false;
    for (wchar_t c : text) {
        if (!IsScalarValue(c)) {
            c = 0xFFFD;
        }
        if (IsControl(c) || IsSpace(c)) {
            pendingSpace = !clean.empty();
            continue;
        }
        if (pendingSpace) {
            clean += L' ';
            pendingSpace = false;
        }
        clean += c;
        if (clean.size() > kMaxTitleLength) {
            // Cut, and no space left before the ellipsis.
            clean.resize(kMaxTitleLength - 1);
            if (clean.back() == L' ') {
                clean.pop_back();
            }
            clean += L'\u2026';
            break;
        }
    }
    return clean;
}

std::wstring SlideTitle(const SlideText& slide, int32_t number) {
    std::wstring title = CleanTitle(slide.title);
    if (title.empty()) {
        title = CleanTitle(FirstLine(slide));
    }
    if (title.empty()) {
        title = L"Slide " + std::to_wstring(number);
    }
    return title;
}

}  // namespace vellumet
