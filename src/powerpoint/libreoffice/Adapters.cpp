#include "powerpoint/libreoffice/Adapters.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <com/sun/star/awt/FontRelief.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/document/XExporter.hpp>
#include <com/sun/star/document/XFilter.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/presentation/XPresentationPage.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextCursor.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cwctype>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "common/PngChunks.h"
#include "common/WideText.h"
#include "job/SlideExporter.h"
#include "powerpoint/DispatchIds.h"
#include "powerpoint/libreoffice/ExportSize.h"
#include "powerpoint/libreoffice/OfficeProcess.h"
#include "powerpoint/libreoffice/OfficeSession.h"
#include "powerpoint/libreoffice/PdfParts.h"
#include "powerpoint/libreoffice/PdfRasteriser.h"

namespace powerpoint {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using Args = std::vector<AutomationArgument>;

namespace {

constexpr int kMaxPictureSide = 8192;  // far beyond any device page; keeps the office in memory
constexpr int kMaxShapeDepth = 32;

InvokeResult Fail(std::wstring why) {
    InvokeResult result;
    result.error = std::move(why);
    return result;
}

InvokeResult Done() {
    InvokeResult result;
    result.succeeded = true;
    return result;
}

InvokeResult Integer(int32_t value) {
    InvokeResult result = Done();
    result.integer = value;
    return result;
}

InvokeResult Object(AutomationObject* object) {
    InvokeResult result = Done();
    result.object = object;
    return result;
}

// An integer argument, passed either plainly or in a variant.
bool IntArg(const Args& args, size_t index, int32_t& value) {
    if (index >= args.size() || args[index].type == AutomationArgument::Type::Text) {
        return false;
    }
    value = args[index].value;
    return true;
}

bool TextArg(const Args& args, size_t index, std::wstring& text) {
    if (index >= args.size() || args[index].type != AutomationArgument::Type::Text) {
        return false;
    }
    text = args[index].text;
    return true;
}

// The value of a property put: exactly one integer.
bool PutValue(InvokeKind kind, const Args& args, int32_t& value) {
    return kind == InvokeKind::PropertyPut && args.size() == 1 && IntArg(args, 0, value);
}

std::wstring Unknown(const wchar_t* object, int32_t dispId, InvokeKind kind) {
    const wchar_t* how = kind == InvokeKind::Method        ? L"method"
                         : kind == InvokeKind::PropertyGet ? L"property get"
                         : kind == InvokeKind::PropertyPut ? L"property put"
                                                           : L"invoke";
    return std::wstring(L"The ") + object + L" object has no " + how + L" with the identifier " +
           std::to_wstring(dispId) + L".";
}

// Reference counting and the one error boundary of every adapter: the session must still be
// usable, and whatever UNO or the allocator throws becomes a failed result.
class Adapter : public AutomationObject {
public:
    explicit Adapter(std::shared_ptr<OfficeSession> session) : session_(std::move(session)) {}

    void AddRef() override { references_.fetch_add(1, std::memory_order_relaxed); }

    void Release() override {
        if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            OnLastRelease();
            delete this;
        }
    }

    InvokeResult Invoke(int32_t dispId, InvokeKind kind, const Args& args) final {
        std::wstring why;
        if (!session_->Usable(why)) {
            return Fail(why);
        }
        try {
            InvokeResult result = Answer(dispId, kind, args);
            session_->NoteProgress();
            return result;
        } catch (const css::uno::Exception& e) {
            return Fail(session_->Explain(e));
        } catch (const std::bad_alloc&) {
            return Fail(L"Out of memory.");
        } catch (...) {
            return Fail(session_->Explain(L""));
        }
    }

protected:
    ~Adapter() override = default;
    virtual InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) = 0;
    virtual void OnLastRelease() noexcept {}

    OfficeSession& Session() const { return *session_; }
    const std::shared_ptr<OfficeSession>& SharedSession() const { return session_; }

private:
    std::shared_ptr<OfficeSession> session_;
    std::atomic<int> references_{1};
};

class FontObject final : public Adapter {
public:
    FontObject(std::shared_ptr<OfficeSession> session, Reference<css::text::XText> text)
        : Adapter(std::move(session)), text_(std::move(text)) {}

private:
    // Imported per-run formatting wins over the shape's own character properties, so the whole
    // text is selected and changed there.
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        int32_t value = 0;
        if (dispId == dispid::Font::Shadow && PutValue(kind, args, value)) {
            WholeText()->setPropertyValue("CharShadowed", css::uno::Any(value != 0));
            return Done();
        }
        if (dispId == dispid::Font::Emboss && PutValue(kind, args, value)) {
            const sal_Int16 relief = value != 0 ? css::awt::FontRelief::EMBOSSED : css::awt::FontRelief::NONE;
            WholeText()->setPropertyValue("CharRelief", css::uno::Any(relief));
            return Done();
        }
        return Fail(Unknown(L"font", dispId, kind));
    }

    Reference<css::beans::XPropertySet> WholeText() {
        Reference<css::text::XTextCursor> cursor = text_->createTextCursor();
        cursor->gotoStart(false);
        cursor->gotoEnd(true);
        return Reference<css::beans::XPropertySet>(cursor, UNO_QUERY_THROW);
    }

    Reference<css::text::XText> text_;
};

class TextRangeObject final : public Adapter {
public:
    TextRangeObject(std::shared_ptr<OfficeSession> session, Reference<css::text::XText> text)
        : Adapter(std::move(session)), text_(std::move(text)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (dispId == dispid::TextRange::Font && kind == InvokeKind::PropertyGet && args.empty()) {
            return Object(new FontObject(SharedSession(), text_));
        }
        return Fail(Unknown(L"text range", dispId, kind));
    }

    Reference<css::text::XText> text_;
};

class TextFrameObject final : public Adapter {
public:
    TextFrameObject(std::shared_ptr<OfficeSession> session, Reference<css::text::XText> text)
        : Adapter(std::move(session)), text_(std::move(text)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (kind == InvokeKind::PropertyGet && args.empty()) {
            if (dispId == dispid::TextFrame::HasText) {
                return Integer(text_->getString().isEmpty() ? 0 : 1);
            }
            if (dispId == dispid::TextFrame::TextRange) {
                return Object(new TextRangeObject(SharedSession(), text_));
            }
        }
        return Fail(Unknown(L"text frame", dispId, kind));
    }

    Reference<css::text::XText> text_;
};

class ShadowFormatObject final : public Adapter {
public:
    ShadowFormatObject(std::shared_ptr<OfficeSession> session, Reference<css::drawing::XShape> shape)
        : Adapter(std::move(session)), shape_(std::move(shape)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        int32_t value = 0;
        if (dispId == dispid::ShadowFormat::Visible && PutValue(kind, args, value)) {
            // A shape without the property (a media object, say) has no shadow to change.
            Reference<css::beans::XPropertySet> properties(shape_, UNO_QUERY);
            if (properties.is()) {
                Reference<css::beans::XPropertySetInfo> info = properties->getPropertySetInfo();
                if (info.is() && info->hasPropertyByName("Shadow")) {
                    properties->setPropertyValue("Shadow", css::uno::Any(value != 0));
                }
            }
            return Done();
        }
        return Fail(Unknown(L"shadow format", dispId, kind));
    }

    Reference<css::drawing::XShape> shape_;
};

class ShapeObject final : public Adapter {
public:
    ShapeObject(std::shared_ptr<OfficeSession> session, Reference<css::drawing::XShape> shape)
        : Adapter(std::move(session)), shape_(std::move(shape)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (kind == InvokeKind::PropertyGet && args.empty()) {
            if (dispId == dispid::Shape::Shadow) {
                return Object(new ShadowFormatObject(SharedSession(), shape_));
            }
            if (dispId == dispid::Shape::HasTextFrame) {
                return Integer(Text().is() ? 1 : 0);
            }
            if (dispId == dispid::Shape::TextFrame) {
                Reference<css::text::XText> text = Text();
                if (!text.is()) {
                    return Fail(L"The shape has no text frame.");
                }
                return Object(new TextFrameObject(SharedSession(), text));
            }
        }
        return Fail(Unknown(L"shape", dispId, kind));
    }

    // The shape's own text; a group has none (its members are shapes of the collection).
    Reference<css::text::XText> Text() const {
        if (Reference<css::drawing::XShapes>(shape_, UNO_QUERY).is()) {
            return {};
        }
        return Reference<css::text::XText>(shape_, UNO_QUERY);
    }

    Reference<css::drawing::XShape> shape_;
};

// The shapes of a slide, groups followed by their members (depth first), so that every shape
// with a shadow or text is reached. The list is taken once, when the collection is obtained.
class ShapesObject final : public Adapter {
public:
    ShapesObject(std::shared_ptr<OfficeSession> session, const Reference<css::container::XIndexAccess>& page)
        : Adapter(std::move(session)) {
        Collect(page, 0);
    }

private:
    void Collect(const Reference<css::container::XIndexAccess>& container, int depth) {
        const sal_Int32 count = container->getCount();
        for (sal_Int32 i = 0; i < count; ++i) {
            Reference<css::drawing::XShape> shape(container->getByIndex(i), UNO_QUERY);
            if (!shape.is()) {
                continue;
            }
            shapes_.push_back(shape);
            Reference<css::container::XIndexAccess> members(shape, UNO_QUERY);
            if (members.is() && Reference<css::drawing::XShapes>(shape, UNO_QUERY).is() &&
                depth < kMaxShapeDepth) {
                Collect(members, depth + 1);
            }
        }
    }

    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (dispId == dispid::Shapes::Count && kind == InvokeKind::PropertyGet && args.empty()) {
            return Integer(static_cast<int32_t>(shapes_.size()));
        }
        int32_t index = 0;
        if (dispId == dispid::Shapes::Item && kind == InvokeKind::Method && args.size() == 1 &&
            IntArg(args, 0, index)) {
            if (index < 1 || static_cast<size_t>(index) > shapes_.size()) {
                return Fail(L"There is no shape " + std::to_wstring(index) + L" on the slide.");
            }
            return Object(new ShapeObject(SharedSession(), shapes_[static_cast<size_t>(index) - 1]));
        }
        return Fail(Unknown(L"shapes", dispId, kind));
    }

    std::vector<Reference<css::drawing::XShape>> shapes_;
};

class SlideObject final : public Adapter {
public:
    SlideObject(std::shared_ptr<OfficeSession> session, Reference<css::drawing::XDrawPage> page)
        : Adapter(std::move(session)), page_(std::move(page)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        int32_t value = 0;
        if (dispId == dispid::Slide::DisplayMasterShapes && PutValue(kind, args, value)) {
            // Hides the master's shapes and keeps the slide's background fill.
            Reference<css::beans::XPropertySet> properties(page_, UNO_QUERY_THROW);
            properties->setPropertyValue("IsBackgroundObjectsVisible", css::uno::Any(value != 0));
            return Done();
        }
        if (dispId == dispid::Slide::Shapes && kind == InvokeKind::PropertyGet && args.empty()) {
            return Object(new ShapesObject(SharedSession(),
                                           Reference<css::container::XIndexAccess>(page_, UNO_QUERY_THROW)));
        }
        return Fail(Unknown(L"slide", dispId, kind));
    }

    Reference<css::drawing::XDrawPage> page_;
};

class SlidesObject final : public Adapter {
public:
    SlidesObject(std::shared_ptr<OfficeSession> session, Reference<css::container::XIndexAccess> pages)
        : Adapter(std::move(session)), pages_(std::move(pages)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (dispId == dispid::Slides::Count && kind == InvokeKind::PropertyGet && args.empty()) {
            return Integer(pages_->getCount());
        }
        int32_t index = 0;
        if (dispId == dispid::Slides::Item && kind == InvokeKind::Method && args.size() == 1 &&
            IntArg(args, 0, index)) {
            if (index < 1 || index > pages_->getCount()) {
                return Fail(L"There is no slide " + std::to_wstring(index) + L".");
            }
            Reference<css::drawing::XDrawPage> page(pages_->getByIndex(index - 1), UNO_QUERY_THROW);
            return Object(new SlideObject(SharedSession(), page));
        }
        return Fail(Unknown(L"slides", dispId, kind));
    }

    Reference<css::container::XIndexAccess> pages_;
};

css::beans::PropertyValue Property(const char* name, const css::uno::Any& value) {
    css::beans::PropertyValue property;
    property.Name = rtl::OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

class PresentationObject final : public Adapter {
public:
    PresentationObject(std::shared_ptr<OfficeSession> session, Reference<css::lang::XComponent> document)
        : Adapter(std::move(session)), document_(std::move(document)) {}

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (dispId == dispid::Presentation::Slides && kind == InvokeKind::PropertyGet && args.empty()) {
            return Object(new SlidesObject(SharedSession(), Pages()));
        }
        std::wstring folder;
        std::wstring filter;
        int32_t width = 0;
        int32_t height = 0;
        if (dispId == dispid::Presentation::Export && kind == InvokeKind::Method && args.size() == 4 &&
            TextArg(args, 0, folder) && TextArg(args, 1, filter) && IntArg(args, 2, width) &&
            IntArg(args, 3, height)) {
            return Export(folder, filter, {width, height});
        }
        return Fail(Unknown(L"presentation", dispId, kind));
    }

    Reference<css::container::XIndexAccess> Pages() const {
        Reference<css::drawing::XDrawPagesSupplier> supplier(document_, UNO_QUERY_THROW);
        return Reference<css::container::XIndexAccess>(supplier->getDrawPages(), UNO_QUERY_THROW);
    }

    // One PNG per slide, "Slide<n>.png" with n from 1, written in slide order, each of the slide's
    // own aspect fitted into the requested size; with the session's notesPages, a picture of each
    // slide's notes page of the notes page's aspect, which only the PDF export makes. On failure the
    // pictures written so far are removed.
    InvokeResult Export(const std::wstring& folder, std::wstring filter, PixelSize requested) {
        for (auto& c : filter) {
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        }
        if (filter != L"png") {
            return Fail(L"Slides can only be exported as PNG pictures, not as \"" + filter + L"\".");
        }
        if (requested.width < 1 || requested.height < 1 || requested.width > kMaxPictureSide ||
            requested.height > kMaxPictureSide) {
            return Fail(L"The picture size " + std::to_wstring(requested.width) + L" x " +
                        std::to_wstring(requested.height) + L" is not possible.");
        }
        std::error_code ec;
        const std::filesystem::path directory = std::filesystem::absolute(vellumet::ToPath(folder), ec);
        if (!ec) {
            std::filesystem::create_directories(directory, ec);
        }
        if (ec || !std::filesystem::is_directory(directory, ec)) {
            return Fail(L"The folder for the pictures cannot be created: " + folder);
        }

        const bool notesPages = Session().Options().notesPages;
        const Reference<css::container::XIndexAccess> pages = Pages();
        const sal_Int32 count = pages->getCount();
        // Every slide of a presentation has the document's one slide size (and every notes page the
        // one notes size): the first page's size is each page's, without a call per page.
        std::vector<PixelSize> sizes;
        if (count > 0) {
            Reference<css::drawing::XDrawPage> page(pages->getByIndex(0), UNO_QUERY_THROW);
            if (notesPages) {
                page = Reference<css::presentation::XPresentationPage>(page, UNO_QUERY_THROW)->getNotesPage();
            }
            sizes.assign(static_cast<size_t>(count), PictureSize(page, requested));
        }

        std::vector<std::filesystem::path> written;
        std::wstring pdfFailure;
        if (Session().Options().exportThroughPdf) {
            if (ExportThroughPdf(directory, sizes, written, pdfFailure)) {
                return Done();
            }
            RemoveFiles(written);
            if (notesPages) {
                return Fail(L"The office could not make the notes pages: " +
                            (pdfFailure.empty() ? std::wstring(L"its PDF export failed.") : pdfFailure));
            }
            // A stopped or lost office is the conversation's end (a stalled one is reported, so
            // that the deck can go slide by slide in a fresh office); anything else the office's
            // own picture export may still manage here.
            std::wstring why;
            if (!Session().Usable(why)) {
                Session().ReportPdfExportStall();
                return Fail(why);
            }
        } else if (notesPages) {
            return Fail(
                L"Notes pages are made only through the office's PDF export, which is not used here.");
        }
        InvokeResult result = ExportSlideBySlide(pages, directory, sizes, written);
        if (!result.succeeded) {
            RemoveFiles(written);
        }
        return result;
    }

    static void RemoveFiles(std::vector<std::filesystem::path>& files) {
        std::error_code ec;
        for (const auto& file : files) {
            std::filesystem::remove(file, ec);
        }
        files.clear();
    }

    // What the office's thread and the rendering thread tell each other about the deck's PDF parts.
    struct Handover {
        std::mutex mutex;
        std::condition_variable changed;
        size_t exported = 0;      // parts the office has written
        bool exportOver = false;  // no more parts will come
        bool renderFailed = false;
        std::atomic<bool> exportFailed{false};
    };

    // The office exports the document as PDF, in parts, and while it writes one part the pages of
    // the parts before are rendered with the cores it leaves free. The parts stay beside the pictures as the
    // deck's PDF (DeckPdfPartName), where the job reads the slides' text. False, with why, when a
    // step fails; the PDF files are gone then.
    bool ExportThroughPdf(const std::filesystem::path& directory, const std::vector<PixelSize>& sizes,
                          std::vector<std::filesystem::path>& written, std::wstring& why) {
        // A range of notes pages is not to be trusted to count as the slides do: one part.
        const int count = static_cast<int>(sizes.size());
        const std::vector<SlideSpan> parts =
            Session().Options().notesPages ? std::vector<SlideSpan>{{1, count}} : PlanPdfParts(count);
        std::vector<std::filesystem::path> files;
        for (size_t k = 0; k < parts.size(); ++k) {
            files.push_back(directory / vellumet::ToPath(vellumet::DeckPdfPartName(static_cast<int>(k) + 1)));
        }

        PageRenderer* renderer = Session().Renderer(why);
        if (renderer == nullptr) {
            return false;
        }
        Handover handover;
        std::vector<std::filesystem::path> rendered;
        std::wstring renderWhy;
        bool done = true;
        std::thread rendering([&]() noexcept {
            try {
                RenderParts(*renderer, parts, files, sizes, directory, handover, rendered, renderWhy);
            } catch (...) {
                std::lock_guard lock(handover.mutex);
                handover.renderFailed = true;
                renderWhy = L"The pages could not be rendered.";
            }
        });
        try {
            for (size_t k = 0; k < parts.size() && done; ++k) {
                {
                    std::lock_guard lock(handover.mutex);
                    if (handover.renderFailed) {
                        break;
                    }
                }
                const SlideSpan range = parts.size() == 1 ? SlideSpan{0, 0} : parts[k];
                done = Session().ExportPdf(document_, files[k], {range.first, range.last}, why);
                std::lock_guard lock(handover.mutex);
                handover.exported += done ? 1 : 0;
                handover.changed.notify_all();
            }
        } catch (...) {
            done = false;
            why = L"The office could not export the slides as PDF.";
        }
        handover.exportFailed = !done;
        {
            std::lock_guard lock(handover.mutex);
            handover.exportOver = true;
            handover.changed.notify_all();
        }
        rendering.join();
        Session().CloseRendererFiles();

        written.insert(written.end(), rendered.begin(), rendered.end());
        if (done && handover.renderFailed) {
            done = false;
            why = renderWhy;
        }
        if (!done) {
            for (const auto& file : files) {
                std::error_code ec;
                std::filesystem::remove(file, ec);
            }
        }
        return done;
    }

    // The rendering thread's side of ExportThroughPdf: renders each part once the office has
    // written it, in order, until all are done or the export fails.
    void RenderParts(PageRenderer& renderer, const std::vector<SlideSpan>& parts,
                     const std::vector<std::filesystem::path>& files, const std::vector<PixelSize>& sizes,
                     const std::filesystem::path& directory, Handover& handover,
                     std::vector<std::filesystem::path>& rendered, std::wstring& why) {
        const KeepGoing keepGoing = [this, &handover] {
            std::wstring stopped;
            return !handover.exportFailed && Session().Usable(stopped);
        };
        const PictureWritten onPicture = [this](int) { Session().NoteProgress(); };
        for (size_t k = 0; k < parts.size(); ++k) {
            {
                std::unique_lock lock(handover.mutex);
                handover.changed.wait(lock, [&] { return handover.exported > k || handover.exportOver; });
                if (handover.exported <= k) {
                    return;
                }
            }
            RasterRequest request;
            request.pdf = files[k];
            request.sizes.assign(sizes.begin() + (parts[k].first - 1), sizes.begin() + parts[k].last);
            request.folder = directory;
            request.firstSlide = parts[k].first - 1;
            // Every core, while the office still exports too: the workers run at a lower priority
            // (YieldToTheOffice), so the office keeps its core and they take what is left.
            request.workers = 0;
            if (!renderer.Render(request, keepGoing, onPicture, rendered, why)) {
                std::lock_guard lock(handover.mutex);
                handover.renderFailed = true;
                return;
            }
        }
    }

    // The office's own picture export, one slide at a time.
    InvokeResult ExportSlideBySlide(const Reference<css::container::XIndexAccess>& pages,
                                    const std::filesystem::path& directory,
                                    const std::vector<PixelSize>& sizes,
                                    std::vector<std::filesystem::path>& written) {
        const Reference<css::document::XExporter> exporter(
            Session().ServiceManager()->createInstanceWithContext("com.sun.star.drawing.GraphicExportFilter",
                                                                  Session().Context()),
            UNO_QUERY_THROW);
        const Reference<css::document::XFilter> graphicFilter(exporter, UNO_QUERY_THROW);

        for (size_t i = 0; i < sizes.size(); ++i) {
            std::wstring why;
            if (!Session().Usable(why)) {
                return Fail(why);
            }
            const std::wstring slide = std::to_wstring(i + 1);
            const Reference<css::drawing::XDrawPage> page(pages->getByIndex(static_cast<sal_Int32>(i)),
                                                          UNO_QUERY_THROW);
            const PixelSize size = sizes[i];
            const std::filesystem::path file = directory / ("Slide" + std::to_string(i + 1) + ".png");
            std::error_code ec;
            std::filesystem::remove(file, ec);
            written.push_back(file);

            exporter->setSourceDocument(Reference<css::lang::XComponent>(page, UNO_QUERY_THROW));
            // The pictures live only until composition decodes them: the fastest PNG compression
            // keeps the pixels and saves a fifth of the export time.
            const css::beans::PropertyValue data[] = {
                Property("PixelWidth", css::uno::Any(sal_Int32{size.width})),
                Property("PixelHeight", css::uno::Any(sal_Int32{size.height})),
                Property("Compression", css::uno::Any(sal_Int32{1}))};
            const css::beans::PropertyValue descriptor[] = {
                Property("URL",
                         css::uno::Any(rtl::OUString::createFromAscii(FileUrl(file.string()).c_str()))),
                Property("MediaType", css::uno::Any(rtl::OUString("image/png"))),
                Property("FilterData",
                         css::uno::Any(css::uno::Sequence<css::beans::PropertyValue>(data, 3)))};
            const bool exported =
                graphicFilter->filter(css::uno::Sequence<css::beans::PropertyValue>(descriptor, 3));

            const std::wstring name = vellumet::FromPath(file);
            if (!exported) {
                return Fail(Session().Explain(L"The office could not export slide " + slide + L"."));
            }
            const PixelSize made = vellumet::ReadPngFileSize(vellumet::FromPath(file));
            if (made.width == 0) {
                return Fail(
                    Session().Explain(L"The picture of slide " + slide + L" is missing or empty: " + name));
            }
            if (made != size) {
                return Fail(L"The picture of slide " + slide + L" has the wrong size: " + name);
            }
            Session().NoteProgress();
        }
        return Done();
    }

    // The slide's own aspect fitted into the requested size; the request itself when the slide's
    // size cannot be read.
    static PixelSize PictureSize(const Reference<css::drawing::XDrawPage>& page, PixelSize requested) {
        Reference<css::beans::XPropertySet> properties(page, UNO_QUERY);
        sal_Int32 width = 0;
        sal_Int32 height = 0;
        if (!properties.is() || !(properties->getPropertyValue("Width") >>= width) ||
            !(properties->getPropertyValue("Height") >>= height)) {
            return requested;
        }
        return FitSlideSize(width, height, requested);
    }

    Reference<css::lang::XComponent> document_;
};

class PresentationsObject final : public Adapter {
public:
    using Adapter::Adapter;

private:
    // Open(FileName, ReadOnly, Untitled, WithWindow). The presentation is always opened read-only
    // and without a window, whatever the flags ask.
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        std::wstring path;
        int32_t flag = 0;
        if ((dispId == dispid::Presentations::Open2000 || dispId == dispid::Presentations::Open) &&
            kind == InvokeKind::Method && args.size() == 4 && TextArg(args, 0, path) &&
            IntArg(args, 1, flag) && IntArg(args, 2, flag) && IntArg(args, 3, flag)) {
            std::wstring error;
            Reference<css::lang::XComponent> document = Session().OpenPresentation(path, error);
            if (!document.is()) {
                return Fail(error);
            }
            return Object(new PresentationObject(SharedSession(), document));
        }
        return Fail(Unknown(L"presentations", dispId, kind));
    }
};

class ApplicationObject final : public Adapter {
public:
    using Adapter::Adapter;

private:
    InvokeResult Answer(int32_t dispId, InvokeKind kind, const Args& args) override {
        if (dispId == dispid::Application::Presentations && kind == InvokeKind::PropertyGet && args.empty()) {
            return Object(new PresentationsObject(SharedSession()));
        }
        return Fail(Unknown(L"application", dispId, kind));
    }

    void OnLastRelease() noexcept override { Session().EndConversation(); }
};

}  // namespace

AutomationObject* NewApplicationObject(std::shared_ptr<OfficeSession> session) {
    return new ApplicationObject(std::move(session));
}

}  // namespace powerpoint
