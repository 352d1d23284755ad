#pragma once
// What one conversion runs with. A front end fills it before the job starts; the job only reads it.

#include <string>

namespace vellumet {

struct ConversionSettings {
    std::wstring sourcePath;    // full path of the presentation
    std::wstring schemeName;    // device name, looked up in the device table
    std::wstring outputFolder;  // receives the PDF; not empty and ends with "/" when the job starts
    int omitBackground = 0;     // 1: slides are exported without their master's background graphics
    int omitShadow = 0;         // 1: shadows are switched off on every shape and all text
    int twoSlidesPerPage = 0;   // 1: two slides share one page
    // Prefix of the job's private temporary folder (see TempFolder.h): the job creates
    // tempFolder + a unique suffix before the export and removes it before it ends.
    std::wstring tempFolder;
};

}  // namespace vellumet
