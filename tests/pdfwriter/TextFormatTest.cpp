#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

#include "pdfwriter/MemoryStream.h"
#include "pdfwriter/NumberFormat.h"
#include "pdfwriter/Utf16Hex.h"

namespace {

std::string Hex(std::wstring_view text) {
    PDFWriter::MemoryStream stream(8);
    PDFWriter::AppendUtf16Hex(stream, text);
    return std::string(reinterpret_cast<const char*>(stream.Data()), static_cast<size_t>(stream.Length()));
}

// Switches the C locale for one test and restores it afterwards.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
        active_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    bool active() const { return active_; }

private:
    std::string previous_;
    bool active_ = false;
};

}  // namespace

TEST(NumberFormat, FixedSixDecimalsAndPlainIntegers) {
    EXPECT_EQ(PDFWriter::FormatReal(600), "600.000000");
    EXPECT_EQ(PDFWriter::FormatReal(53), "53.000000");
    EXPECT_EQ(PDFWriter::FormatReal(-1.5), "-1.500000");
    EXPECT_EQ(PDFWriter::FormatReal(0.1234567), "0.123457");
    EXPECT_EQ(PDFWriter::FormatInteger(0), "0");
    EXPECT_EQ(PDFWriter::FormatInteger(2147483647), "2147483647");
    EXPECT_EQ(PDFWriter::FormatInteger(-42), "-42");
}

TEST(NumberFormat, CompactRealsKeepTwoDecimalsAtMost) {
    EXPECT_EQ(PDFWriter::FormatCompactReal(12.5), "12.5");
    EXPECT_EQ(PDFWriter::FormatCompactReal(3.0), "3");
    EXPECT_EQ(PDFWriter::FormatCompactReal(0.126), "0.13");
    EXPECT_EQ(PDFWriter::FormatCompactReal(-0.001), "0") << "no negative zero";
    EXPECT_EQ(PDFWriter::FormatCompactReal(-7.25), "-7.25");
    EXPECT_EQ(PDFWriter::FormatCompactReal(100), "100") << "zeros before the point stay";
    EXPECT_EQ(PDFWriter::FormatCompactReal(std::numeric_limits<double>::quiet_NaN()), "0");
}

TEST(NumberFormat, DecimalCommaLocaleDoesNotLeakIn) {
    ScopedLocale german("de_DE.UTF-8");
    if (!german.active()) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    EXPECT_EQ(PDFWriter::FormatReal(784.5), "784.500000");
    EXPECT_EQ(PDFWriter::FormatCompactReal(784.5), "784.5");
    EXPECT_EQ(PDFWriter::FormatInteger(1234567), "1234567") << "no thousands separators";
}

TEST(Utf16Hex, ByteOrderMarkThenUpperCaseUnits) {
    EXPECT_EQ(Hex(L""), "FEFF");
    EXPECT_EQ(Hex(L"Ab"), "FEFF00410062");
    EXPECT_EQ(Hex(L"\u00e9"), "FEFF00E9");
    EXPECT_EQ(Hex(L"\U00020B9F"), "FEFFD842DF9F") << "characters beyond the BMP become a surrogate pair";
}
