#pragma once
// The options handed to the slide export, as a bit set.

namespace ExportFlags {
enum : int {
    OmitBackground = 1,  // hide the master's background graphics on every slide
    OmitShadow = 2,      // switch shadows off on every shape and all text
    NotesPages = 4,      // a picture of each slide's notes page (the slide above its speaker notes)
};
}  // namespace ExportFlags
