#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakePicture.h"
#include "pdfwriter/ImageObject.h"
#include "pdfwriter/PDF.h"
#include "pdfwriter/Page.h"

using namespace PDFWriter;

namespace {

std::string Bytes(const MemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Data()), static_cast<size_t>(stream.Length()));
}

LocalTime FixedClock() {
    return LocalTime{2026, 1, 5, 3, 4, 9};
}

const std::string kHeader("%PDF-1.4\n%\xF2\xF3\xF4\xF5\xF6\n", 16);

std::string XrefEntry(size_t offset) {
    std::string digits = std::to_string(offset);
    return std::string(10 - digits.size(), '0') + digits + " 00000 n \n";
}

}  // namespace

TEST(Document, NewDocumentHoldsOnlyTheBinaryHeader) {
    PDF document;
    EXPECT_EQ(Bytes(document.Buffer()), kHeader);
    EXPECT_EQ(document.ObjectCount(), 0);
    EXPECT_TRUE(document.Offsets().empty());

    document.BeginObject();
    EXPECT_EQ(document.Offsets().at(0), 16);
    EXPECT_EQ(Bytes(document.Buffer()).substr(16), "1 0 obj\n");

    auto* page = new Page(&document, {600, 800});
    EXPECT_EQ(document.Buffer().Length(), 24) << "a new page writes nothing";
    EXPECT_EQ(document.Pages().back().get(), page);
}

TEST(Document, EmptyDocumentIsFinishedByteForByte) {
    PDF document;
    document.clock = FixedClock;
    document.Finish();

    std::string expected = kHeader;
    std::vector<size_t> offsets;
    auto object = [&](const std::string& body) {
        offsets.push_back(expected.size());
        expected += std::to_string(offsets.size()) + " 0 obj\n" + body;
    };
    object("<<\n/ProcSet [/PDF /Text /ImageC]\n/Font\n<<\n>>\n/XObject\n<<\n>>\n>>\nendobj\n");
    object(
        "<<\n/Title <FEFF>\n/Subject <FEFF>\n/Author <FEFF>\n/Producer <FEFF>\n"
        "/CreationDate(D:20260105030409)\n>>\nendobj\n");
    object("<<\n/Type /Pages\n/Kids [ ]\n/Count 0\n>>\nendobj\n");
    object("<<\n/Type /Catalog\n/Pages 3 0 R\n/Base ()\n>>\nendobj\n");
    const size_t xref = expected.size();
    expected += "xref\n0 5\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        expected += XrefEntry(offset);
    }
    expected += "trailer\n<<\n/Size 5\n/Root 4 0 R\n/Info 2 0 R\n>>\nstartxref\n" + std::to_string(xref) +
                "\n%%EOF\n";

    EXPECT_EQ(Bytes(document.Buffer()), expected);
}

TEST(Document, TwoPagesWithOneImageEachAreNumberedInWritingOrder) {
    PDF document;
    document.clock = FixedClock;
    for (int k = 0; k < 2; ++k) {
        FakePicture picture(4, 3, 0, 0, 0);
        auto* image = new ImageObject(&document, &picture, L"PNG", 4, 3);
        auto* page = new Page(&document, {600, 800});
        page->PlaceImage(*image);
    }
    EXPECT_EQ(document.Images().at(0)->number, 1);
    EXPECT_EQ(document.Images().at(1)->number, 2);
    EXPECT_EQ(document.Offsets().at(0), 16) << "the first image starts right after the header";
    document.Finish();

    const std::string file = Bytes(document.Buffer());
    EXPECT_EQ(document.ObjectCount(), 12);
    EXPECT_NE(file.find("3 0 obj\n<<\n/ProcSet [/PDF /Text /ImageC]\n/Font\n<<\n>>\n/XObject\n<<\n/Im1 1 0 "
                        "R\n/Im2 2 0 R\n"),
              std::string::npos);
    EXPECT_NE(file.find("5 0 obj\n<<\n/Type /Pages\n/Kids [ 6 0 R 9 0 R ]\n/Count 2\n"), std::string::npos);
    EXPECT_NE(file.find("6 0 obj\n<<\n/Type /Page\n/Parent 5 0 R\n/MediaBox [0 0 600.000000 800.000000]\n"
                        "/Resources 3 0 R\n/Contents 7 0 R\n>>\n"),
              std::string::npos);
    EXPECT_NE(file.find("7 0 obj\n<<\n/Filter /FlateDecode\n/Length 8 0 R\n>>\nstream\n"), std::string::npos);
    EXPECT_NE(file.find("10 0 obj\n<<\n/Filter /FlateDecode\n/Length 11 0 R\n"), std::string::npos);
    EXPECT_NE(file.find("12 0 obj\n<<\n/Type /Catalog\n/Pages 5 0 R\n/Base ()\n>>\nendobj\n"),
              std::string::npos);
    EXPECT_NE(file.find("trailer\n<<\n/Size 13\n/Root 12 0 R\n/Info 4 0 R\n>>\n"), std::string::npos);

    // Every cross-reference entry points at its object's header.
    const size_t xref = file.rfind("\nxref\n") + 1;
    EXPECT_NE(file.find("startxref\n" + std::to_string(xref) + "\n%%EOF\n"), std::string::npos);
    const size_t table = file.find("0 13\n0000000000 65535 f \n", xref) + 5;
    for (int n = 1; n <= 12; ++n) {
        const size_t offset = std::stoul(file.substr(table + 20 * n, 10));
        EXPECT_EQ(file.compare(offset, std::to_string(n).size() + 7, std::to_string(n) + " 0 obj\n"), 0) << n;
    }
}

TEST(Document, EmptyPageContentGetsTheEmptyZlibStreamAndLength8) {
    PDF document;
    new Page(&document, {10, 10});
    document.Finish();
    const std::string file = Bytes(document.Buffer());
    EXPECT_NE(file.find(std::string("stream\n\x78\x9C\x03\x00\x00\x00\x00\x01\nendstream\n", 26)),
              std::string::npos);
    EXPECT_NE(file.find("6 0 obj\n8\nendobj\n"), std::string::npos);
}

TEST(Document, CreationDateIsZeroFilledWithoutTimeZone) {
    PDF document;
    document.clock = [] { return LocalTime{987, 12, 31, 23, 0, 7}; };
    document.title = L"T\u00e9";
    document.WriteInfo();
    const std::string file = Bytes(document.Buffer());
    EXPECT_NE(file.find("/Title <FEFF005400E9>\n"), std::string::npos);
    EXPECT_NE(file.find("/CreationDate(D:09871231230007)\n>>\nendobj\n"), std::string::npos);
}
