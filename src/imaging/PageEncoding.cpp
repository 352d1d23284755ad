#include "imaging/PageEncoding.h"

#include <algorithm>
#include <utility>

#include "imaging/Bitmap.h"
#include "imaging/GrayPage.h"

namespace imaging {

namespace {

constexpr uint32_t kRuleColour = 0xFF808080;  // opaque grey
constexpr double kRuleWidth = 1.0;

void NoteLeftOut(PageResult& result, const CompositionJob& job, size_t i, vellumet::LeftOutReason reason) {
    result.leftOut.push_back({i, job.pictures[i], reason});
}

// Notes every picture of the group from picture i on as left out: the first for `reason`, the
// others (the second of a pair) for their partner.
void NoteGroupLeftOut(PageResult& result, const CompositionJob& job, size_t i,
                      vellumet::LeftOutReason reason) {
    NoteLeftOut(result, job, i, reason);
    for (size_t k = i + 1; k < i + static_cast<size_t>(job.slidesPerPage) && k < job.pictures.size(); ++k) {
        const bool noted =
            std::any_of(result.leftOut.begin(), result.leftOut.end(),
                        [k](const vellumet::LeftOutPicture& picture) { return picture.index == k; });
        if (!noted) {
            NoteLeftOut(result, job, k, vellumet::LeftOutReason::PartnerLeftOut);
        }
    }
}

// The pair picture for pictures i and i + 1 (if any): w1 x 2*h1, the first picture on top, the
// second stretched below it, the grey rule along the lower half's top row. Null when the first
// picture cannot be decoded or the pair cannot be created (with the reason in `why`); a second
// picture that cannot be decoded is noted in `result`.
std::unique_ptr<Bitmap> MakePairPicture(const CompositionJob& job, size_t i, PageResult& result,
                                        vellumet::LeftOutReason& why) {
    std::unique_ptr<Bitmap> first = Bitmap::Load(job.pictures[i], {}, &why);
    if (!first) {
        return nullptr;
    }
    const int32_t w1 = first->Width();
    const int32_t h1 = first->Height();
    if (!imaging::BitmapSizeAllowed(w1, int64_t{h1} * 2)) {
        why = vellumet::LeftOutReason::TooLarge;
        return nullptr;
    }
    std::unique_ptr<Bitmap> pair = Bitmap::Create(w1, h1 * 2);
    if (!pair) {
        why = vellumet::LeftOutReason::TooLarge;
        return nullptr;
    }
    pair->DrawPicture(*first, 0, 0, w1, h1);
    first.reset();
    if (i + 1 < job.pictures.size()) {
        // An undecodable second picture leaves the lower half white.
        vellumet::LeftOutReason secondWhy = vellumet::LeftOutReason::Damaged;
        if (std::unique_ptr<Bitmap> second = Bitmap::Load(job.pictures[i + 1], {}, &secondWhy)) {
            pair->DrawPicture(*second, 0, h1, w1, h1);
        } else {
            NoteLeftOut(result, job, i + 1, secondWhy);
        }
    }
    pair->DrawLine(0, h1, w1, h1, kRuleColour, kRuleWidth);
    return pair;
}

// The page picture's image object in the job's colours. For a pair, the rule is set again as a
// solid line where scaling put it: along the middle row, or the middle column of a turned pair.
std::unique_ptr<PDFWriter::ImageObject> EncodePicture(const CompositionJob& job, Bitmap& picture, bool pair,
                                                      bool turned) {
    const int32_t w = picture.Width();
    const int32_t h = picture.Height();
    if (job.colours.palette == vellumet::Palette::Rgb) {
        return std::make_unique<PDFWriter::ImageObject>(&picture, L"PNG", w, h);
    }
    std::unique_ptr<imaging::GrayPage> gray = imaging::GrayPage::Convert(picture, job.colours);
    if (!gray) {
        return nullptr;
    }
    if (pair) {
        const uint8_t rule =
            imaging::Luminance((kRuleColour >> 16) & 0xFF, (kRuleColour >> 8) & 0xFF, kRuleColour & 0xFF);
        if (turned) {
            gray->SetColumn(w / 2, rule);
        } else {
            gray->SetRow(h / 2, rule);
        }
    }
    return std::make_unique<PDFWriter::ImageObject>(gray.get(), L"PNG", w, h, gray->Samples());
}

// Turns, fits, scales and encodes the page picture of one group. Everything here is local to the
// group, so groups may run on any thread in any order.
PageResult EncodeGroup(const CompositionJob& job, size_t group) {
    PageResult result;
    const size_t i = group * static_cast<size_t>(job.slidesPerPage);
    const auto needsTurn = [&job](int32_t w, int32_t h) {
        return imaging::NeedsQuarterTurn(w, h, job.pageWidth, job.pageHeight);
    };
    std::unique_ptr<Bitmap> picture;
    vellumet::LeftOutReason why = vellumet::LeftOutReason::Damaged;
    bool turned = false;
    if (job.slidesPerPage == 2) {
        picture = MakePairPicture(job, i, result, why);
        if (picture && needsTurn(picture->Width(), picture->Height())) {
            picture->RotateQuarter();
            turned = true;
        }
    } else {
        // A single slide is decoded already turned, in one pass.
        picture = Bitmap::Load(job.pictures[i], needsTurn, &why);
    }
    if (!picture) {
        NoteGroupLeftOut(result, job, i, why);
        return result;
    }
    const imaging::Fit fit =
        imaging::FitToPage(picture->Width(), picture->Height(), job.pageWidth, job.pageHeight);
    // An image object holds at most kMaxImageSide a side; a larger fit (a page larger than that)
    // gets no page rather than an empty image.
    if (fit.width < 1 || fit.height < 1) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::CannotFit);
        return result;
    }
    if (fit.width > PDFWriter::kMaxImageSide || fit.height > PDFWriter::kMaxImageSide) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
        return result;
    }
    if (picture->Width() != fit.width || picture->Height() != fit.height) {
        picture = picture->Scaled(fit.width, fit.height);
        if (!picture) {
            NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
            return result;
        }
    }

    result.image = EncodePicture(job, *picture, job.slidesPerPage == 2, turned);
    if (!result.image) {
        NoteGroupLeftOut(result, job, i, vellumet::LeftOutReason::TooLarge);
        return result;
    }
    result.fit = fit;
    result.outcome = PageResult::Outcome::Page;
    return result;
}

}  // namespace

PageResult EncodeGroupNoThrow(const CompositionJob& job, size_t group) noexcept {
    try {
        return EncodeGroup(job, group);
    } catch (...) {
        // Allocation failures (the only exceptions the libraries raise here) end the composition.
        PageResult failed;
        failed.outcome = PageResult::Outcome::OutOfMemory;
        return failed;
    }
}

}  // namespace imaging
