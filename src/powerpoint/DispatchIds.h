#pragma once
// The dispatch identifiers of the office object model that the slide export speaks, grouped by the
// object that answers them. Both the conversation and every server that answers it use these.

#include <cstdint>

namespace powerpoint {

// The class name (ProgID) of the automation server.
inline constexpr wchar_t kApplicationProgId[] = L"Powerpoint.Application";

namespace dispid {

namespace Application {
inline constexpr int32_t Presentations = 2001;  // get: the presentation collection
}

namespace Presentations {
// method Open(FileName text, ReadOnly int, Untitled int, WithWindow int): the presentation.
// PowerPoint 2000 knows Open by the first identifier, later releases by the second.
inline constexpr int32_t Open2000 = 2004;
inline constexpr int32_t Open = 2005;
}  // namespace Presentations

namespace Presentation {
inline constexpr int32_t Slides = 2011;  // get: the slide collection
// method Export(Path text, FilterName text, ScaleWidth int, ScaleHeight int): no result
inline constexpr int32_t Export = 2038;
}  // namespace Presentation

namespace Slides {
inline constexpr int32_t Count = 11;  // get: integer
inline constexpr int32_t Item = 0;    // method Item(variant 1-based index): the slide
}  // namespace Slides

namespace Slide {
inline constexpr int32_t DisplayMasterShapes = 2020;  // put int
inline constexpr int32_t Shapes = 2003;               // get: the shape collection
}  // namespace Slide

namespace Shapes {
inline constexpr int32_t Count = 2;  // get: integer
inline constexpr int32_t Item = 0;   // method Item(variant 1-based index): the shape
}  // namespace Shapes

namespace Shape {
inline constexpr int32_t Shadow = 119;         // get: the shadow format
inline constexpr int32_t HasTextFrame = 2014;  // get: integer, non-zero when it has one
inline constexpr int32_t TextFrame = 121;      // get: the text frame
}  // namespace Shape

namespace ShadowFormat {
inline constexpr int32_t Visible = 106;  // put int
}

namespace TextFrame {
inline constexpr int32_t HasText = 2003;    // get: integer, non-zero when it holds text
inline constexpr int32_t TextRange = 2004;  // get: the text range
}  // namespace TextFrame

namespace TextRange {
inline constexpr int32_t Font = 2022;  // get: the font
}

namespace Font {
inline constexpr int32_t Shadow = 2006;  // put int
inline constexpr int32_t Emboss = 2007;  // put int
}  // namespace Font

}  // namespace dispid
}  // namespace powerpoint
