#pragma once
// A folder of already exported slide pictures composed straight into a PDF, the way the job does it
// after its export: same picture collection, page size, messages and result codes. The pictures
// belong to the user and are never deleted.

#include <string>

#include "job/ConversionHost.h"
#include "job/ConversionJob.h"
#include "job/ConversionSettings.h"

namespace vellumet::cli {

// settings.sourcePath is the folder; schemeName and twoSlidesPerPage choose the pages; the omit
// options do not apply. outputPath is where the PDF goes. Runs on the calling thread and returns a
// JobResult code: NoPictures when the folder holds no "*.png" picture, ComposeFailed when none of
// them gave a page, SaveFailed, Cancelled (nothing shown, nothing written) or Succeeded. Every
// failure shows one message through the host before its EndBusy.
int ComposePictureFolder(const ConversionSettings& settings, const std::wstring& outputPath,
                         ConversionHost& host, ComposeFunction compose);

}  // namespace vellumet::cli
