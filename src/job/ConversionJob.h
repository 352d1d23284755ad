#pragma once
// One conversion: a presentation becomes one PDF file of page pictures.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "common/LeftOutPicture.h"
#include "common/PageColours.h"
#include "job/ConversionHost.h"
#include "job/ConversionSettings.h"
#include "job/PageComposer.h"
#include "job/SlideExporter.h"
#include "pdfwriter/PDF.h"

namespace vellumet {

// Composes slide pictures (in slide order) into a new, unfinished document of pages stored in
// `colours`, or returns null; appends the pictures it left out to `*leftOut`. ComposeDocument
// (imaging/ComposeDocument.h) in the product.
using ComposeFunction = std::unique_ptr<PDFWriter::PDF> (*)(
    const std::vector<std::wstring>& pictures, int32_t pageWidth, int32_t pageHeight, int32_t slidesPerPage,
    PageColours colours, const CancelToken* cancel, std::vector<LeftOutPicture>* leftOut, int32_t threads);

// What settings.sourcePath names.
enum class JobSource {
    // A presentation: the exporter turns its slides into pictures in a private temporary folder,
    // which the job removes with everything in it.
    Presentation,
    // A folder of slide pictures that belong to the user: composed as they are, never deleted. The
    // exporter, the omit options and tempFolder are not used.
    PictureFolder,
};

// Everything one run needs. The front end builds one per conversion and keeps it, the host and the
// exporter alive until ConversionThreadProc has returned; the job reads it and changes nothing.
struct ConversionJob {
    ConversionSettings settings;
    ConversionHost* host = nullptr;
    SlideExporter* exporter = nullptr;  // may be null for a picture folder
    ComposeFunction compose = nullptr;
    // Optional: for a presentation, composition through a composer that begins on the pictures
    // while the export still runs (the document is the same); `compose` when null.
    ComposerFunction composer = nullptr;
    JobSource source = JobSource::Presentation;
};

// Runs the job on the calling thread and returns a JobResult code (JobMessages.h). A failure shows
// exactly one message through the host, and the host's EndBusy follows only once it is dismissed.
// Pictures that composition left out are named to the host (ShowLeftOut) before that message, or
// before EndBusy on success; they change neither the messages nor the result.
// Whatever the outcome, the temporary folder the job created is gone when it returns, and an
// output file (OutputPathFor, SlidePictures.h) exists only after success. Returns
// JobResult::NoJob, touching nothing, when `job` or a part its source needs is null.
int ConversionThreadProc(const ConversionJob* job);

// The sentence that tells the user of a picture left out: for a picture folder
// "The picture \"<path>\" was left out: <reason>.", for a presentation
// "Slide <n> was left out: <reason>." (n counting from 1).
std::wstring LeftOutNotice(const LeftOutPicture& picture, JobSource source);

// The identifier that opens a presentation for a version code: 2004 for 3, 2005 for 4 and above,
// 0 for unusable codes.
int32_t OpenDispIdFor(int versionCode);

// The progress step after the export, from the position p the progress had reached then:
// 50 / p kept within 1..5; 5 when p is 0 or less.
int32_t RetimedProgressStep(int32_t position);

}  // namespace vellumet
