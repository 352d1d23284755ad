#include "JobFakes.h"

#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QString>

#include "common/QStringText.h"
#include "common/WideText.h"
#include "pdfwriter/Page.h"
#include "support/Processes.h"

namespace jobtest {

std::string PdfInfoField(const std::string& info, const std::string& field) {
    const std::string key = field + ":";
    for (size_t line = 0; line < info.size(); line = info.find('\n', line) + 1) {
        if (info.compare(line, key.size(), key) == 0) {
            const size_t begin = info.find_first_not_of(' ', line + key.size());
            return begin == std::string::npos ? std::string()
                                              : info.substr(begin, info.find('\n', begin) - begin);
        }
        if (info.find('\n', line) == std::string::npos) {
            break;
        }
    }
    return {};
}

std::string CheckedPdfInfo(const std::string& quotedPath) {
    const vellumet_test::ProcessResult check =
        vellumet_test::RunShell("qpdf --check " + quotedPath + " 2>&1");
    EXPECT_EQ(check.exitCode, 0) << check.out;
    const vellumet_test::ProcessResult info = vellumet_test::RunShell("pdfinfo " + quotedPath + " 2>&1");
    EXPECT_EQ(info.exitCode, 0) << info.out;
    return info.out;
}

bool WritePng(const std::wstring& path, int width, int height, uint32_t rgb) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor::fromRgb(rgb));
    return image.save(vellumet::ToQString(path), "PNG");
}

void RecordingHost::Record(const std::string& event) {
    events.push_back(event);
    if (onEvent) {
        onEvent(event);
    }
}

void RecordingHost::ShowMessage(const std::wstring& text, const std::wstring& detail) {
    messages.push_back(text);
    details.push_back(detail);
    if (onMessage) {
        onMessage();
    }
    Record("Message");
}

void RecordingHost::ShowLeftOut(const std::vector<std::wstring>& notices) {
    leftOut.insert(leftOut.end(), notices.begin(), notices.end());
    Record("LeftOut " + std::to_string(notices.size()));
}

int32_t RecordingHost::ProgressPosition() {
    Record("GetPos");
    return position;
}

void RecordingHost::SetProgressPosition(int32_t value) {
    position = value;
    Record("SetPos " + std::to_string(value));
}

void RecordingHost::SetProgressStep(int32_t value) {
    step = value;
    Record("Step " + std::to_string(value));
}

int FakeExporter::GetPowerPointVersion() {
    ++versionCalls;
    return version;
}

int FakeExporter::ExportSlides(int flagsIn, const std::wstring& sourceIn, const std::wstring& folderIn,
                               int32_t width, int32_t height, int32_t dispId,
                               const vellumet::CancelToken* cancelIn) {
    ++exportCalls;
    flags = flagsIn;
    sourcePath = sourceIn;
    folder = folderIn;
    exportWidth = width;
    exportHeight = height;
    openDispId = dispId;
    cancel = cancelIn;
    struct stat st = {};
    folderExisted = ::stat(vellumet::ToNative(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    folderMode = st.st_mode & 07777;

    for (int slide = 1; slide <= slides; ++slide) {
        if (beforeSlide) {
            beforeSlide(slide);
        }
        if (cancel != nullptr && cancel->IsCancelled()) {
            return -1;
        }
        const std::wstring path = folder + L"/Slide" + std::to_wstring(slide) + pictureExtension;
        if (!WritePng(path, pictureWidth > 0 ? pictureWidth : width,
                      pictureHeight > 0 ? pictureHeight : height)) {
            return -1;
        }
    }
    return 0;
}

ComposerState& Composer() {
    static ComposerState state;
    return state;
}

std::unique_ptr<PDFWriter::PDF> FakeCompose(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                            int32_t pageHeight, int32_t slidesPerPage,
                                            vellumet::PageColours colours,
                                            const vellumet::CancelToken* cancel,
                                            std::vector<vellumet::LeftOutPicture>* leftOut,
                                            int32_t /*threads*/) {
    ComposerState& state = Composer();
    ++state.calls;
    state.pictures = pictures;
    state.pageWidth = pageWidth;
    state.pageHeight = pageHeight;
    state.slidesPerPage = slidesPerPage;
    state.colours = colours;
    state.cancel = cancel;
    state.picturesExisted = std::all_of(pictures.begin(), pictures.end(), [](const std::wstring& p) {
        return std::filesystem::is_regular_file(vellumet::ToPath(p));
    });
    if (state.hook) {
        state.hook();
    }
    if (state.fails) {
        return nullptr;
    }
    if (leftOut != nullptr) {
        leftOut->insert(leftOut->end(), state.leftOut.begin(), state.leftOut.end());
    }
    auto document = std::make_unique<PDFWriter::PDF>();
    for (size_t i = state.leftOut.size(); i < pictures.size(); ++i) {
        new PDFWriter::Page(document.get(),
                            {static_cast<double>(pageWidth), static_cast<double>(pageHeight)});
    }
    return document;
}

}  // namespace jobtest
