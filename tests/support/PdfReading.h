#pragma once
// What independent readers find in a PDF file: the words with their boxes (poppler's pdftotext),
// the outline and the page labels (qpdf's JSON). Each gives an empty result when its tool fails.

#include <filesystem>
#include <string>
#include <vector>

namespace vellumet_test {

// A word as `pdftotext -bbox` reports it: UTF-8 text and its box in units from the page's
// top-left corner.
struct PdfWord {
    int page = 0;  // counting from 0
    std::string text;
    double xMin = 0;
    double yMin = 0;
    double xMax = 0;
    double yMax = 0;
};

std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf);

// Each page's width and height in units, as `pdftotext -bbox` reports them.
std::vector<std::pair<double, double>> PdfPageSizes(const std::filesystem::path& pdf);

// The words of plain `pdftotext` output (split at white space), in order.
std::vector<std::string> PdfTextWords(const std::filesystem::path& pdf);

// A top-level outline entry as `qpdf --json` reports it.
struct PdfOutlineEntry {
    std::string title;  // UTF-8
    int page = 0;       // counting from 1; 0 when qpdf finds none
};

std::vector<PdfOutlineEntry> PdfOutline(const std::filesystem::path& pdf);

// A page-label range as `qpdf --json` reports it.
struct PdfLabelRange {
    int index = 0;       // first page, counting from 0
    std::string style;   // "/D" for decimal numbers, empty for none
    std::string prefix;  // UTF-8
    int start = 1;
};

std::vector<PdfLabelRange> PdfPageLabels(const std::filesystem::path& pdf);

// True when `qpdf --check` finds no error or warning and pdfinfo reads the file; `report` (when
// given) receives both tools' output.
bool PdfChecksClean(const std::filesystem::path& pdf, std::string* report = nullptr);

}  // namespace vellumet_test
