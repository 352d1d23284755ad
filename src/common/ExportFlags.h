#pragma once
// The options handed to the slide export, as a bit set.

namespace ExportFlags {
enum : int {
    OmitBackground = 1,  // hide the master's background graphics on every slide
    OmitShadow = 2,      // switch shadows off on every shape and all text
};
}  // namespace ExportFlags
