#pragma once
// Test doubles for the job: a host that records every call, an exporter that writes PNG pictures,
// a composer driven by the test, and the job tests' name for the shared temporary folder.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/CancelToken.h"
#include "job/ConversionHost.h"
#include "job/ConversionJob.h"
#include "job/SlideExporter.h"
#include "pdfwriter/PDF.h"
#include "support/TempFolder.h"

namespace jobtest {

// The shared temporary folder, named by its wide path.
class ScratchFolder : public vellumet_test::TempFolder {
public:
    ScratchFolder() : TempFolder("job_tests.") {}
    std::wstring path() const { return WidePath(); }
};

// The value of a "Field:   value" line of pdfinfo's output; empty when the field is missing.
std::string PdfInfoField(const std::string& info, const std::string& field);

// pdfinfo's output for the PDF at `quotedPath` (quoted for the shell); adds a test failure unless
// qpdf --check passes and pdfinfo reads the file.
std::string CheckedPdfInfo(const std::string& quotedPath);

// Writes a PNG picture of the given size with QImage::save; false on failure.
bool WritePng(const std::wstring& path, int width, int height, uint32_t rgb = 0x3366cc);

// Records the host calls as events: "BeginBusy", "EndBusy", "Message", "GetPos", "SetPos 50",
// "Step 5". `onEvent` runs after an event is recorded (a test may cancel there); `onMessage` runs
// while a message is up.
class RecordingHost : public vellumet::ConversionHost {
public:
    void BeginBusy() override { Record("BeginBusy"); }
    void EndBusy() override { Record("EndBusy"); }
    void ShowMessage(const std::wstring& text, const std::wstring& detail) override;
    // Recorded as "LeftOut <count>".
    void ShowLeftOut(const std::vector<std::wstring>& notices) override;
    int32_t ProgressPosition() override;
    void SetProgressPosition(int32_t value) override;
    void SetProgressStep(int32_t step) override;
    const vellumet::CancelToken* Cancellation() const override { return &token; }

    void Record(const std::string& event);

    std::vector<std::string> events;
    std::vector<std::wstring> messages;
    std::vector<std::wstring> details;  // one per message, empty when none was given
    std::vector<std::wstring> leftOut;  // every notice of ShowLeftOut
    int32_t position = 0;
    int32_t step = 1;
    vellumet::CancelToken token;
    std::function<void(const std::string&)> onEvent;
    std::function<void()> onMessage;
};

// An office suite that answers a fixed version and writes `slides` pictures named Slide1.png ...
// (with pictureExtension) into the export folder, one after another.
class FakeExporter : public vellumet::SlideExporter {
public:
    int GetPowerPointVersion() override;
    std::wstring VersionRefusal() const override { return L"The fake office is too old"; }
    std::wstring LastFailure() const override { return failure; }
    int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder,
                     int32_t exportWidth, int32_t exportHeight, int32_t openDispId,
                     const vellumet::CancelToken* cancel) override;

    int version = 4;
    int slides = 3;
    // Size of the pictures written; 0 writes them at the requested export size.
    int pictureWidth = 8;
    int pictureHeight = 6;
    std::wstring pictureExtension = L".png";
    // Runs before each slide is written (1-based slide number).
    std::function<void(int)> beforeSlide;
    // What LastFailure answers.
    std::wstring failure;

    // What the calls saw.
    int versionCalls = 0;
    int exportCalls = 0;
    int flags = -1;
    std::wstring sourcePath;
    std::wstring folder;
    int32_t exportWidth = 0;
    int32_t exportHeight = 0;
    int32_t openDispId = 0;
    const vellumet::CancelToken* cancel = nullptr;
    bool folderExisted = false;
    unsigned folderMode = 0;
};

// The composer the tests hand to the job: records its call in `Composer()`, then runs `hook` (if
// set), reports `leftOut` as left out, then returns a document with one empty page per picture not
// left out unless `fails` is set.
struct ComposerState {
    int calls = 0;
    std::vector<std::wstring> pictures;
    bool picturesExisted = false;
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    int32_t slidesPerPage = 0;
    vellumet::PageColours colours;
    const vellumet::CancelToken* cancel = nullptr;
    std::vector<vellumet::LeftOutPicture> leftOut;
    bool fails = false;
    std::function<void()> hook;
};
ComposerState& Composer();
std::unique_ptr<PDFWriter::PDF> FakeCompose(const std::vector<std::wstring>& pictures, int32_t pageWidth,
                                            int32_t pageHeight, int32_t slidesPerPage,
                                            vellumet::PageColours colours,
                                            const vellumet::CancelToken* cancel,
                                            std::vector<vellumet::LeftOutPicture>* leftOut, int32_t threads);

}  // namespace jobtest
