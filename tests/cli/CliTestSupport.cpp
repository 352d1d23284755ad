#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace clitest {

namespace fs = std::filesystem;

std::string ConvertProgram() {
    return VELLUMET_CONVERT_PROGRAM;
}

Sandbox::Sandbox() {
    fs::create_directories(Config());
    fs::create_directories(Temp());
}

ProcessResult Sandbox::Run(const std::vector<std::string>& args, ProcessOptions extra) const {
    std::vector<std::string> argv = {ConvertProgram()};
    argv.insert(argv.end(), args.begin(), args.end());
    extra.environment.emplace("XDG_CONFIG_HOME", Config().string());
    extra.environment.emplace("TMPDIR", Temp().string());
    extra.environment.emplace("HOME", root_.string());
    if (extra.workingDirectory.empty()) {
        extra.workingDirectory = root_.string();
    }
    return RunProcess(argv, extra);
}

std::vector<std::string> Sandbox::TempLeftovers() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(Temp(), ignored)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::vector<fs::path> WriteSlidePictures(const fs::path& folder, int count, int width, int height) {
    fs::create_directories(folder);
    std::vector<fs::path> paths;
    for (int i = 0; i < count; ++i) {
        // Reverse names: creation order, not name order, must decide the page order.
        char name[32];
        std::snprintf(name, sizeof name, "slide-%03d.png", count - i);
        const fs::path path = folder / name;
        QImage image(width, height, QImage::Format_RGB888);
        const int grey = 40 + (i * 160) / (count > 1 ? count - 1 : 1);
        image.fill(QColor(grey, grey, grey));
        image.save(QString::fromStdString(path.string()), "PNG");
        paths.push_back(path);
        // Distinct creation times even on coarse file-system clocks.
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    return paths;
}

void CopyPictures(const fs::path& picture, const fs::path& folder, int count) {
    fs::create_directories(folder);
    for (int i = 1; i <= count; ++i) {
        fs::copy_file(picture, folder / ("copy-" + std::to_string(i) + ".png"));
    }
}

PdfFacts InspectPdf(const fs::path& file) {
    PdfFacts facts;
    const ProcessResult check = RunProcess({"/usr/bin/qpdf", "--check", file.string()});
    facts.qpdfOk = check.exitCode == 0;
    facts.qpdfOutput = check.out + check.err;
    const ProcessResult info = RunProcess({"/usr/bin/pdfinfo", file.string()});
    std::istringstream lines(info.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("Pages:", 0) == 0) {
            facts.pages = std::stoi(line.substr(6));
        } else if (line.rfind("Page size:", 0) == 0) {
            std::sscanf(line.c_str() + 10, "%d x %d", &facts.pageWidth, &facts.pageHeight);
        }
    }
    return facts;
}

void ExpectSoundPdf(const fs::path& pdf, int pages, int width, int height) {
    const PdfFacts facts = InspectPdf(pdf);
    EXPECT_TRUE(facts.qpdfOk) << facts.qpdfOutput;
    EXPECT_EQ(facts.pages, pages);
    EXPECT_EQ(facts.pageWidth, width);
    EXPECT_EQ(facts.pageHeight, height);
}

std::string WithoutProgress(const std::string& err) {
    std::string text;
    size_t i = 0;
    while (i < err.size()) {
        if (err[i] == '\r') {
            const size_t end = err.find("\x1b[K", i);
            i = end == std::string::npos ? err.size() : end + 3;
            continue;
        }
        text.push_back(err[i]);
        ++i;
    }
    return text;
}

std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace clitest
