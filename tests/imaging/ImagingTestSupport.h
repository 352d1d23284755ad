#pragma once
// Helpers shared by the imaging tests: PNG pictures written with Qt, zlib inflation and reading a
// composed document back.

#include <QColor>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "pdfwriter/PDF.h"
#include "support/Processes.h"
#include "support/TempFolder.h"

namespace imaging_test {

using vellumet_test::HaveTool;
using vellumet_test::RunShell;
using vellumet_test::TempFolder;

// A w x h picture of one colour, in Qt's 32-bit opaque format.
QImage Solid(int w, int h, QColor colour);

// Saves `image` as a PNG file at `path`; fails the current test if it cannot.
std::wstring SavePng(const QImage& image, const std::wstring& path);

// Writes raw bytes to `path`.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// The inflated bytes of a zlib stream; empty when the stream is not valid zlib.
std::vector<uint8_t> Inflate(const uint8_t* data, size_t size);

// The RGB rows of a w x h picture, top row first, red-green-blue: what an image object stores.
std::vector<uint8_t> RgbBytes(const QImage& image);

// The bytes of image XObject `number` (1-based) as written into the document's buffer, inflated.
std::vector<uint8_t> ImagePixels(const PDFWriter::PDF& document, size_t index);

// The page content's text.
std::string PageContent(const PDFWriter::PDF& document, size_t index);

// A document clock that always reads the same time.
void FixClock(PDFWriter::PDF& document);

}  // namespace imaging_test
