#pragma once
// The office suite as the job sees it: which release is installed, and the export of every slide
// of a presentation as a PNG picture. The job knows the office only through this interface.

#include <cstdint>
#include <string>

#include "common/CancelToken.h"

namespace vellumet {

// The name of the office's PDF of the deck that an exporter may leave in the export folder next to
// the pictures: one page per slide in slide order (hidden slides included), each page the slide
// the picture of the same number shows (its notes page with ExportFlags::NotesPages), with the
// office's outline of slide titles. The job reads the slides' text from it when the output asks
// for an outline or searchable text.
inline constexpr wchar_t kDeckPdfName[] = L"Slides.pdf";

// The deck's PDF may come in parts (so that the first slides' pictures can be made while the office
// still writes the later ones): part 1 is kDeckPdfName with the first slides, parts 2, 3, ... hold
// the slides after them, in order, each with its slides' outline entries (which may not open their
// pages).
inline std::wstring DeckPdfPartName(int part) {
    return part <= 1 ? std::wstring(kDeckPdfName) : L"Slides-" + std::to_wstring(part) + L".pdf";
}

class SlideExporter {
public:
    virtual ~SlideExporter() = default;

    // The installed release as a version code: 0 none or unknown, 3 the oldest usable, 4 and
    // above later releases.
    virtual int GetPowerPointVersion() = 0;

    // What the job shows when GetPowerPointVersion gave an unusable code: it names the office suite
    // and the oldest release that works.
    virtual std::wstring VersionRefusal() const = 0;

    // Exports every slide of `sourcePath` as a picture of at most `exportWidth` x `exportHeight`
    // pixels, with the slide's aspect kept (with ExportFlags::NotesPages, a picture of the slide's
    // notes page with the notes page's aspect, or none at all), into `folder` (an existing folder,
    // no trailing separator), as PNG files created one after another in slide order. Their names
    // sort in slide order, so pictures that the file system stamps with the same creation time
    // still come in slide order. `flags` are ExportFlags bits; `openDispId` is the identifier that
    // opens the presentation. Stops at the next slide once `cancel` (may be null) is cancelled. The
    // job does not look at the result: a failed export shows up as missing pictures.
    virtual int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                             int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                             const CancelToken* cancel) = 0;

    // Readies what the next ExportSlides needs (the office started), so that a caller with several
    // exporters can tell which of them can serve; false, with why in LastFailure(), when it cannot.
    // The next ExportSlides tries again anyway. Stops once `cancel` (may be null) is cancelled. The
    // job never calls it; the default has nothing to ready.
    virtual bool PrepareForExport(const CancelToken* /*cancel*/) { return true; }

    // Why the last ExportSlides left no pictures, or why the last GetPowerPointVersion gave an
    // unusable code, as one line for the user (for example that the presentation is protected by a
    // password, or that the office's program is missing); empty when all went well or nobody knows.
    virtual std::wstring LastFailure() const = 0;
};

}  // namespace vellumet
