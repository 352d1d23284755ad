#pragma once
// The slide export: one complete automation conversation that has the office open a presentation
// read-only and without a window, optionally hide master background graphics and switch shadows
// off in the opened copy, and export every slide as a PNG picture into a folder.

#include <string>

#include "common/CancelToken.h"
#include "powerpoint/Automation.h"

namespace powerpoint {

// Results of ExportSlides.
inline constexpr int kExportDone = 0;         // the export call was made and succeeded
inline constexpr int kExportNoSource = -1;    // sourcePath is empty; nothing was started
inline constexpr int kExportNoServer = -2;    // the server could not be started
inline constexpr int kExportCallFailed = -3;  // an automation call failed or gave no object
inline constexpr int kExportCancelled = -4;   // the cancel token was set

// Runs the conversation against `server` and returns one of the results above.
//
// flags: ExportFlags bits. sourcePath: the presentation. folder: where the pictures go, without a
// trailing separator; the office creates it when it is missing. exportWidth, exportHeight: the
// picture size in pixels. openDispId: dispid::Presentations::Open2000 or ::Open, chosen by the
// version code. cancel: polled before each slide, each shape and the export call; may be null.
//
// Every object obtained is held for exactly as long as it is needed and released in the reverse
// order of acquisition; the application is released last, which ends the office. No object
// survives the call. The presentation file is never saved.
//
// On kExportCallFailed and kExportCancelled, PNG pictures that appeared in `folder` during the
// export call are removed after the office has ended; the folder itself and anything that was in
// it before are left alone. A failure while the cancel token is set counts as a cancellation.
int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder, int exportWidth,
                 int exportHeight, int openDispId, AutomationServer& server,
                 const vellumet::CancelToken* cancel = nullptr);

}  // namespace powerpoint
