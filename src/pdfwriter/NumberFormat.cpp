#include "pdfwriter/NumberFormat.h"

#include <charconv>
#include <cmath>

#include "pdfwriter/MemoryStream.h"

namespace PDFWriter {
namespace {

// Large enough for any double in fixed notation with six decimals (309 digits, sign, point).
constexpr size_t kNumberBufferSize = 330;

size_t FormatIntegerInto(char* buffer, int64_t value) {
    const auto result = std::to_chars(buffer, buffer + kNumberBufferSize - 1, value);
    *result.ptr = '\0';
    return static_cast<size_t>(result.ptr - buffer);
}

size_t FormatRealInto(char* buffer, double value) {
    // to_chars never consults the locale: the decimal point is always a full stop.
    const auto result =
        std::to_chars(buffer, buffer + kNumberBufferSize - 1, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc{}) {
        buffer[0] = '0';
        buffer[1] = '\0';
        return 1;
    }
    *result.ptr = '\0';
    return static_cast<size_t>(result.ptr - buffer);
}

size_t FormatCompactRealInto(char* buffer, double value) {
    if (!std::isfinite(value)) {
        value = 0;
    }
    const auto result =
        std::to_chars(buffer, buffer + kNumberBufferSize - 1, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc{}) {
        buffer[0] = '0';
        buffer[1] = '\0';
        return 1;
    }
    char* end = result.ptr;
    while (end[-1] == '0') {
        --end;
    }
    if (end[-1] == '.') {
        --end;
    }
    // A value that rounds to zero carries no sign.
    if (end - buffer == 2 && buffer[0] == '-' && buffer[1] == '0') {
        buffer[0] = '0';
        end = buffer + 1;
    }
    *end = '\0';
    return static_cast<size_t>(end - buffer);
}

}  // namespace

void AppendInteger(MemoryStream& stream, int64_t value) {
    char buffer[kNumberBufferSize];
    FormatIntegerInto(buffer, value);
    stream.AppendText(buffer);
}

void AppendReal(MemoryStream& stream, double value) {
    char buffer[kNumberBufferSize];
    FormatRealInto(buffer, value);
    stream.AppendText(buffer);
}

void AppendCompactReal(MemoryStream& stream, double value) {
    char buffer[kNumberBufferSize];
    FormatCompactRealInto(buffer, value);
    stream.AppendText(buffer);
}

std::string FormatInteger(int64_t value) {
    char buffer[kNumberBufferSize];
    return std::string(buffer, FormatIntegerInto(buffer, value));
}

std::string FormatReal(double value) {
    char buffer[kNumberBufferSize];
    return std::string(buffer, FormatRealInto(buffer, value));
}

std::string FormatCompactReal(double value) {
    char buffer[kNumberBufferSize];
    return std::string(buffer, FormatCompactRealInto(buffer, value));
}

}  // namespace PDFWriter
