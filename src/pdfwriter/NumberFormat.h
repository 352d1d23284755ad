#pragma once
// The number forms of the PDF writer, independent of the process locale: "%d" (plain signed
// decimal), "%f" (fixed, six decimals, full stop as decimal point) and the compact form of text
// positions (fixed, at most two decimals, no trailing zeros).

#include <cstdint>
#include <string>

namespace PDFWriter {

class MemoryStream;

// Appends value in "%d" form.
void AppendInteger(MemoryStream& stream, int64_t value);
// Appends value in "%f" form, for example 600 as 600.000000.
void AppendReal(MemoryStream& stream, double value);
// Appends value rounded to two decimals without trailing zeros or a trailing point, for example
// 12.5 as 12.5, 3.0 as 3 and -0.001 as 0. Values that are not finite are written as 0.
void AppendCompactReal(MemoryStream& stream, double value);

// The same forms as text, for tests and callers outside the writer.
std::string FormatInteger(int64_t value);
std::string FormatReal(double value);
std::string FormatCompactReal(double value);

}  // namespace PDFWriter
