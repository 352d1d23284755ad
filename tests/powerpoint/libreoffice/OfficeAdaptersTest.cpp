// The adapters driven directly, call by call, against the real office.

#include <signal.h>

#include <QImage>
#include <fstream>

#include "OfficeTestSupport.h"
#include "common/WideText.h"
#include "job/SlideExporter.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/SlideExport.h"

namespace powerpoint::test {
namespace {

using Kind = InvokeKind;
using Arg = AutomationArgument;

InvokeResult Get(AutomationObject* object, int32_t dispId) {
    return object->Invoke(dispId, Kind::PropertyGet, {});
}

// Opens `path` through the presentations object of `application`.
InvokeResult Open(AutomationObject* presentations, const std::filesystem::path& path) {
    return presentations->Invoke(
        dispid::Presentations::Open, Kind::Method,
        {Arg::Text(vellumet::FromPath(path)), Arg::Int32(1), Arg::Int32(0), Arg::Int32(0)});
}

class OfficeAdapters : public OfficeTest {};

TEST_F(OfficeAdapters, OnlyTheApplicationClassIsServed) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeServer server(Options());
    AutomationHolder word(server.CreateObject(L"Word.Application"));
    EXPECT_FALSE(word);
    EXPECT_NE(server.LastError().find(L"Word.Application"), std::wstring::npos);
    EXPECT_EQ(server.LastFootprint().pid, -1) << "an office was started for a foreign class";
}

TEST_F(OfficeAdapters, EachObjectAnswersItsOwnIdentifiersOnly) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeServer server(Options());
    {
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
        // Unknown identifiers and wrong kinds fail with a reason.
        InvokeResult r = application->Invoke(9999, Kind::PropertyGet, {});
        EXPECT_FALSE(r.succeeded);
        EXPECT_FALSE(r.error.empty());
        EXPECT_FALSE(application->Invoke(dispid::Application::Presentations, Kind::Method, {}).succeeded);

        r = Get(application.get(), dispid::Application::Presentations);
        ASSERT_TRUE(r.succeeded);
        AutomationHolder presentations(r.object);
        // Open by either identifier; a text where an integer belongs is refused.
        EXPECT_FALSE(presentations
                         ->Invoke(dispid::Presentations::Open, Kind::Method,
                                  {Arg::Int32(1), Arg::Int32(1), Arg::Int32(0), Arg::Int32(0)})
                         .succeeded);
        r = presentations->Invoke(dispid::Presentations::Open2000, Kind::Method,
                                  {Arg::Text(vellumet::FromPath(CorpusDir() / "numbers2.ppt")), Arg::Int32(1),
                                   Arg::Int32(0), Arg::Int32(0)});
        ASSERT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
        AutomationHolder presentation(r.object);

        r = Get(presentation.get(), dispid::Presentation::Slides);
        ASSERT_TRUE(r.succeeded);
        AutomationHolder slides(r.object);
        r = Get(slides.get(), dispid::Slides::Count);
        ASSERT_TRUE(r.succeeded);
        EXPECT_EQ(r.integer, 2);
        EXPECT_FALSE(slides->Invoke(dispid::Slides::Item, Kind::Method, {Arg::VariantInt32(0)}).succeeded);
        EXPECT_FALSE(slides->Invoke(dispid::Slides::Item, Kind::Method, {Arg::VariantInt32(3)}).succeeded);
        r = slides->Invoke(dispid::Slides::Item, Kind::Method, {Arg::VariantInt32(2)});
        ASSERT_TRUE(r.succeeded);
        AutomationHolder slide(r.object);
        EXPECT_TRUE(
            slide->Invoke(dispid::Slide::DisplayMasterShapes, Kind::PropertyPut, {Arg::Int32(0)}).succeeded);
        EXPECT_FALSE(slide->Invoke(dispid::Slide::DisplayMasterShapes, Kind::PropertyGet, {}).succeeded);

        r = Get(slide.get(), dispid::Slide::Shapes);
        ASSERT_TRUE(r.succeeded);
        AutomationHolder shapes(r.object);
        r = Get(shapes.get(), dispid::Shapes::Count);
        ASSERT_TRUE(r.succeeded);
        ASSERT_GT(r.integer, 0);
        const int32_t count = r.integer;
        EXPECT_FALSE(
            shapes->Invoke(dispid::Shapes::Item, Kind::Method, {Arg::VariantInt32(count + 1)}).succeeded);
        // Every shape takes the shadow switch; those with text take the font changes.
        int withText = 0;
        for (int32_t j = 1; j <= count; ++j) {
            r = shapes->Invoke(dispid::Shapes::Item, Kind::Method, {Arg::VariantInt32(j)});
            ASSERT_TRUE(r.succeeded);
            AutomationHolder shape(r.object);
            r = Get(shape.get(), dispid::Shape::Shadow);
            ASSERT_TRUE(r.succeeded);
            AutomationHolder shadow(r.object);
            EXPECT_TRUE(
                shadow->Invoke(dispid::ShadowFormat::Visible, Kind::PropertyPut, {Arg::Int32(0)}).succeeded);
            r = Get(shape.get(), dispid::Shape::HasTextFrame);
            ASSERT_TRUE(r.succeeded);
            if (r.integer == 0) {
                EXPECT_FALSE(Get(shape.get(), dispid::Shape::TextFrame).succeeded);
                continue;
            }
            r = Get(shape.get(), dispid::Shape::TextFrame);
            ASSERT_TRUE(r.succeeded);
            AutomationHolder frame(r.object);
            r = Get(frame.get(), dispid::TextFrame::HasText);
            ASSERT_TRUE(r.succeeded);
            if (r.integer == 0) {
                continue;
            }
            ++withText;
            r = Get(frame.get(), dispid::TextFrame::TextRange);
            ASSERT_TRUE(r.succeeded);
            AutomationHolder range(r.object);
            r = Get(range.get(), dispid::TextRange::Font);
            ASSERT_TRUE(r.succeeded);
            AutomationHolder font(r.object);
            EXPECT_TRUE(font->Invoke(dispid::Font::Shadow, Kind::PropertyPut, {Arg::Int32(0)}).succeeded);
            EXPECT_TRUE(font->Invoke(dispid::Font::Emboss, Kind::PropertyPut, {Arg::Int32(0)}).succeeded);
            EXPECT_FALSE(font->Invoke(dispid::Font::Emboss, Kind::PropertyGet, {}).succeeded);
        }
        EXPECT_GT(withText, 0);

        // Export refuses other filters and impossible sizes, and leaves nothing behind then.
        const std::filesystem::path folder = root_ / "pictures";
        auto exportAs = [&](const wchar_t* filter, int32_t w, int32_t h) {
            return presentation->Invoke(
                dispid::Presentation::Export, Kind::Method,
                {Arg::Text(vellumet::FromPath(folder)), Arg::Text(filter), Arg::Int32(w), Arg::Int32(h)});
        };
        EXPECT_FALSE(exportAs(L"jpg", 400, 300).succeeded);
        EXPECT_FALSE(exportAs(L"png", 0, 300).succeeded);
        EXPECT_FALSE(exportAs(L"png", 400, -1).succeeded);
        EXPECT_TRUE(Pictures(folder).empty());
        r = exportAs(L"PNG", 400, 300);
        ASSERT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
        EXPECT_EQ(Pictures(folder), ExpectedPictures(folder, 2));

        // Objects that outlive the application fail instead of reaching a dead office.
        application.Reset();
        r = Get(slides.get(), dispid::Slides::Count);
        EXPECT_FALSE(r.succeeded);
        EXPECT_FALSE(r.error.empty());
    }
    ExpectNoTraces(server);
}

TEST_F(OfficeAdapters, OpenRefusesWhatIsNotAReadablePresentation) {
    SKIP_WITHOUT_OFFICE();
    std::ofstream(root_ / "empty.ppt");
    std::ofstream(root_ / "words.ppt") << "These are words, not slides.\n";
    QImage picture(64, 48, QImage::Format_RGB888);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(QString::fromStdString((root_ / "picture.ppt").string()), "PNG"));

    LibreOfficeServer server(Options());
    {
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
        InvokeResult r = Get(application.get(), dispid::Application::Presentations);
        ASSERT_TRUE(r.succeeded);
        AutomationHolder presentations(r.object);
        const std::pair<std::filesystem::path, const wchar_t*> refusals[] = {
            {root_ / "missing.ppt", L"cannot be found"},
            {root_ / "empty.ppt", L"empty"},
            {root_, L"not a file"},
            {root_ / "words.ppt", L"cannot be opened"},
            {root_ / "picture.ppt", L"not a presentation"},
            {CorpusDir() / "Password_Protected-hello.ppt", L"cannot be opened"},
            {CorpusDir() / "Divino_Revelado.pptx", L"cannot be opened"},
        };
        for (const auto& [path, why] : refusals) {
            SCOPED_TRACE(path.filename().string());
            r = Open(presentations.get(), path);
            EXPECT_FALSE(r.succeeded);
            EXPECT_EQ(r.object, nullptr);
            EXPECT_NE(r.error.find(why), std::wstring::npos) << vellumet::ToNative(r.error);
        }
        // The office still serves a good file after all that.
        r = Open(presentations.get(), CorpusDir() / "Single_Coloured_Page.ppt");
        EXPECT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
        AutomationHolder presentation(r.object);
    }
    ExpectNoTraces(server);
}

// The export through PDF falls back to the office's own picture export, slide by slide, when the
// office cannot write the PDF file or its pages cannot be rendered: the pictures are then exactly
// those of the picture export.
TEST_F(OfficeAdapters, AFailedPdfExportOrRenderingFallsBackToThePictureExport) {
    SKIP_WITHOUT_OFFICE();
    const std::filesystem::path deck = CorpusDir() / "numbers2.ppt";
    std::filesystem::path reference;
    LibreOfficeOptions slideBySlide = Options();
    slideBySlide.exportThroughPdf = false;
    ASSERT_EQ(Export(deck, 0, 400, 300, reference, slideBySlide), kExportDone);
    ASSERT_EQ(Pictures(reference), ExpectedPictures(reference, 2));

    enum class Breakage { PdfFile, Renderer };
    for (Breakage breakage : {Breakage::PdfFile, Breakage::Renderer}) {
        SCOPED_TRACE(breakage == Breakage::PdfFile ? "the PDF file cannot be written" : "the renderer fails");
        LibreOfficeOptions options = Options();
        if (breakage == Breakage::Renderer) {
            options.rasteriserProgram = "/bin/false";
        }
        LibreOfficeServer server(options);
        const std::filesystem::path folder = root_ / (breakage == Breakage::PdfFile ? "pdf" : "renderer");
        {
            AutomationHolder application(server.CreateObject(kApplicationProgId));
            ASSERT_TRUE(application) << vellumet::ToNative(server.LastError());
            if (breakage == Breakage::PdfFile) {
                // A folder where the office's PDF file would go.
                std::filesystem::create_directories(folder / vellumet::ToPath(vellumet::kDeckPdfName));
            }
            InvokeResult r = Get(application.get(), dispid::Application::Presentations);
            AutomationHolder presentations(r.object);
            r = Open(presentations.get(), deck);
            ASSERT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
            AutomationHolder presentation(r.object);
            r = presentation->Invoke(
                dispid::Presentation::Export, Kind::Method,
                {Arg::Text(vellumet::FromPath(folder)), Arg::Text(L"png"), Arg::Int32(400), Arg::Int32(300)});
            ASSERT_TRUE(r.succeeded) << vellumet::ToNative(r.error);
        }
        ExpectNoTraces(server);
        ASSERT_EQ(Pictures(folder), ExpectedPictures(folder, 2));
        for (const char* name : {"Slide1.png", "Slide2.png"}) {
            EXPECT_EQ(HashOf(folder / name), HashOf(reference / name)) << name;
        }
        if (breakage == Breakage::Renderer) {
            EXPECT_FALSE(std::filesystem::exists(folder / vellumet::ToPath(vellumet::kDeckPdfName)))
                << "a failed export leaves no PDF of the deck";
        }
    }
    EXPECT_FALSE(std::filesystem::exists(reference / vellumet::ToPath(vellumet::kDeckPdfName)));

    // The export through PDF leaves the deck's PDF beside the pictures, one page per slide.
    std::filesystem::path fast;
    ASSERT_EQ(Export(deck, 0, 400, 300, fast, Options()), kExportDone);
    const std::filesystem::path deckPdf = fast / vellumet::ToPath(vellumet::kDeckPdfName);
    ASSERT_TRUE(std::filesystem::is_regular_file(deckPdf));
    EXPECT_NE(vellumet_test::RunShell("pdfinfo '" + deckPdf.string() + "'").out.find("Pages:           2"),
              std::string::npos);
}

TEST_F(OfficeAdapters, AnOfficeThatDiesMidConversationFailsTheCallsAndIsCleanedUp) {
    SKIP_WITHOUT_OFFICE();
    LibreOfficeServer server(Options());
    {
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        ASSERT_TRUE(application);
        InvokeResult r = Get(application.get(), dispid::Application::Presentations);
        ASSERT_TRUE(r.succeeded);
        AutomationHolder presentations(r.object);
        r = Open(presentations.get(), CorpusDir() / "Single_Coloured_Page.ppt");
        ASSERT_TRUE(r.succeeded);
        AutomationHolder presentation(r.object);

        ASSERT_EQ(::kill(server.LastFootprint().pid, SIGKILL), 0);
        // Calls while the office dies and after it is gone fail; none hangs or kills this process.
        for (int i = 0; i < 50; ++i) {
            r = Get(presentation.get(), dispid::Presentation::Slides);
            AutomationHolder slides(r.object);
            if (!r.succeeded) {
                EXPECT_FALSE(r.error.empty());
                break;
            }
        }
        EXPECT_FALSE(r.succeeded);
    }
    ExpectNoTraces(server);
}

}  // namespace
}  // namespace powerpoint::test
