#pragma once
// The two number forms of the PDF writer, independent of the process locale:
// "%d" (plain signed decimal) and "%f" (fixed, six decimals, full stop as decimal point).

#include <cstdint>
#include <string>

namespace PDFWriter {

class MemoryStream;

// Appends value in "%d" form.
void AppendInteger(MemoryStream& stream, int64_t value);
// Appends value in "%f" form, for example 600 as 600.000000.
void AppendReal(MemoryStream& stream, double value);

// The same forms as text, for tests and callers outside the writer.
std::string FormatInteger(int64_t value);
std::string FormatReal(double value);

}  // namespace PDFWriter
