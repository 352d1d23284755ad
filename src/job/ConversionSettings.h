#pragma once
// What one conversion runs with. A front end fills it before the job starts; the job only reads it.

#include <optional>
#include <string>

#include "common/PageColours.h"
#include "common/PixelSize.h"

namespace vellumet {

struct ConversionSettings {
    std::wstring sourcePath;  // full path of the presentation
    std::wstring schemeName;  // device name, looked up in the device table unless pageSize is set
    // The page in pixels when the device is not one of the device table's (each side within
    // 1..kMaxPageSide, see DeviceTable.h); unset, the table's lookup of schemeName decides.
    std::optional<PixelSize> pageSize;
    std::wstring outputFolder;  // receives the PDF; not empty and ends with "/" when the job starts
    int omitBackground = 0;     // 1: slides are exported without their master's background graphics
    int omitShadow = 0;         // 1: shadows are switched off on every shape and all text
    int twoSlidesPerPage = 0;   // 1: two slides share one page
    PageColours colours;        // how the page pictures are stored; rgb unless the device says otherwise
    // An outline entry per slide and page labels with the slide numbers; the slides' words as
    // invisible, searchable text on the pages. Without them the file is exactly as it always was.
    bool outline = false;
    bool searchable = false;
    // Each slide with its speaker notes below it, from the office's notes-page layout: one portrait
    // picture per slide, fitted to the page unturned, one slide per page whatever twoSlidesPerPage
    // says. The outline and the text layer then include the notes.
    bool notesPages = false;
    // Prefix of the job's private temporary folder (see TempFolder.h): the job creates
    // tempFolder + a unique suffix before the export and removes it before it ends.
    std::wstring tempFolder;
};

}  // namespace vellumet
