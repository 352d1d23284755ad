#pragma once
// The texts the job shows and the codes it ends with.

namespace vellumet {

// Caption of every message the job shows; hosts show the messages as errors.
inline constexpr wchar_t kMessageCaption[] = L"Vellumet";

// Followed directly by the presentation's path.
inline constexpr wchar_t kConvertFailedMessage[] = L"Can not convert the file:";

inline constexpr wchar_t kGenerateFailedMessage[] = L"Can not generate PDF";

// Followed directly by the output path.
inline constexpr wchar_t kSaveFailedMessage[] = L"Can not save PDF to a file: ";

// The codes ConversionThreadProc returns.
namespace JobResult {
enum : int {
    Succeeded = 0,       // the PDF file was written
    NoOffice = -1,       // the office suite is missing or too old (SlideExporter::VersionRefusal)
    NoPictures = -3,     // the export left no picture (or its folder could not be created)
    ComposeFailed = -4,  // composition produced no document, or the document failed
    SaveFailed = -5,     // the PDF file could not be written
    Cancelled = -6,      // the host asked the job to stop; nothing was written, nothing is shown
    NoJob = -255,        // the job was started without a host, exporter or composer
};
}  // namespace JobResult

}  // namespace vellumet
