#include "powerpoint/SlideExport.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

#include "common/ExportFlags.h"
#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"

namespace powerpoint {
namespace {

enum class Outcome { Done, CallFailed, Cancelled };

using Arguments = std::vector<AutomationArgument>;
using PictureSet = std::set<std::filesystem::path>;

constexpr wchar_t kPictureFilter[] = L"png";

bool IsCancelled(const vellumet::CancelToken* cancel) {
    return cancel != nullptr && cancel->IsCancelled();
}

// One invoke whose result must be an object; `out` adopts it. False when the call failed or gave
// no object.
bool GetObject(AutomationObject& on, int32_t dispId, InvokeKind kind, const Arguments& args,
               AutomationHolder& out) {
    InvokeResult result = on.Invoke(dispId, kind, args);
    out.Reset(result.object);
    return result.succeeded && out;
}

bool GetObject(AutomationObject& on, int32_t dispId, AutomationHolder& out) {
    return GetObject(on, dispId, InvokeKind::PropertyGet, {}, out);
}

// One property get whose result is an integer. An object given along is released at once.
bool GetInteger(AutomationObject& on, int32_t dispId, int32_t& value) {
    InvokeResult result = on.Invoke(dispId, InvokeKind::PropertyGet, {});
    AutomationHolder unexpected(result.object);
    value = result.integer;
    return result.succeeded;
}

// One put or method without a result. An object given along is released at once.
bool Call(AutomationObject& on, int32_t dispId, InvokeKind kind, const Arguments& args) {
    InvokeResult result = on.Invoke(dispId, kind, args);
    AutomationHolder unexpected(result.object);
    return result.succeeded;
}

bool PutZero(AutomationObject& on, int32_t dispId) {
    return Call(on, dispId, InvokeKind::PropertyPut, {AutomationArgument::Int32(0)});
}

// Switches off the shadow of one shape and, when it holds text, the shadow and emboss of that text.
// The objects it obtains are released on return, latest first.
Outcome SwitchShadowsOff(AutomationObject& shape) {
    AutomationHolder shadow;
    if (!GetObject(shape, dispid::Shape::Shadow, shadow) ||
        !PutZero(*shadow.get(), dispid::ShadowFormat::Visible)) {
        return Outcome::CallFailed;
    }

    int32_t hasTextFrame = 0;
    if (!GetInteger(shape, dispid::Shape::HasTextFrame, hasTextFrame)) {
        return Outcome::CallFailed;
    }
    if (hasTextFrame == 0) {
        return Outcome::Done;
    }
    AutomationHolder frame;
    int32_t hasText = 0;
    if (!GetObject(shape, dispid::Shape::TextFrame, frame) ||
        !GetInteger(*frame.get(), dispid::TextFrame::HasText, hasText)) {
        return Outcome::CallFailed;
    }
    if (hasText == 0) {
        return Outcome::Done;
    }

    AutomationHolder range;
    AutomationHolder font;
    if (!GetObject(*frame.get(), dispid::TextFrame::TextRange, range) ||
        !GetObject(*range.get(), dispid::TextRange::Font, font) ||
        !PutZero(*font.get(), dispid::Font::Shadow) || !PutZero(*font.get(), dispid::Font::Emboss)) {
        return Outcome::CallFailed;
    }
    return Outcome::Done;
}

// Walks the shapes of one slide with a 1-based index, re-reading the count after each shape.
Outcome WalkShapes(AutomationObject& slide, const vellumet::CancelToken* cancel) {
    AutomationHolder shapes;
    int32_t count = 0;
    if (!GetObject(slide, dispid::Slide::Shapes, shapes) ||
        !GetInteger(*shapes.get(), dispid::Shapes::Count, count)) {
        return Outcome::CallFailed;
    }
    for (int32_t j = 1; j <= count; ++j) {
        if (IsCancelled(cancel)) {
            return Outcome::Cancelled;
        }
        Outcome outcome = Outcome::CallFailed;
        {
            AutomationHolder shape;
            if (GetObject(*shapes.get(), dispid::Shapes::Item, InvokeKind::Method,
                          {AutomationArgument::VariantInt32(j)}, shape)) {
                outcome = SwitchShadowsOff(*shape.get());
            }
        }
        if (outcome != Outcome::Done) {
            return outcome;
        }
        if (!GetInteger(*shapes.get(), dispid::Shapes::Count, count)) {
            return Outcome::CallFailed;
        }
        if (j >= count) {
            break;
        }
    }
    return Outcome::Done;
}

// Walks the slides with a 1-based index, re-reading the count after each slide.
Outcome WalkSlides(AutomationObject& presentation, int flags, const vellumet::CancelToken* cancel) {
    AutomationHolder slides;
    int32_t count = 0;
    if (!GetObject(presentation, dispid::Presentation::Slides, slides) ||
        !GetInteger(*slides.get(), dispid::Slides::Count, count)) {
        return Outcome::CallFailed;
    }
    for (int32_t i = 1; i <= count; ++i) {
        if (IsCancelled(cancel)) {
            return Outcome::Cancelled;
        }
        Outcome outcome = Outcome::CallFailed;
        {
            AutomationHolder slide;
            if (GetObject(*slides.get(), dispid::Slides::Item, InvokeKind::Method,
                          {AutomationArgument::VariantInt32(i)}, slide)) {
                outcome = Outcome::Done;
                if ((flags & ExportFlags::OmitBackground) != 0 &&
                    !PutZero(*slide.get(), dispid::Slide::DisplayMasterShapes)) {
                    outcome = Outcome::CallFailed;
                }
                if (outcome == Outcome::Done && (flags & ExportFlags::OmitShadow) != 0) {
                    outcome = WalkShapes(*slide.get(), cancel);
                }
            }
        }
        if (outcome != Outcome::Done) {
            return outcome;
        }
        if (!GetInteger(*slides.get(), dispid::Slides::Count, count)) {
            return Outcome::CallFailed;
        }
        if (i >= count) {
            break;
        }
    }
    return Outcome::Done;
}

bool IsPicture(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error)) {
        return false;
    }
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return extension == ".png";
}

// The PNG pictures directly in `folder`; empty when it does not exist.
PictureSet ListPictures(const std::filesystem::path& folder) {
    PictureSet pictures;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (IsPicture(*it)) {
            pictures.insert(it->path());
        }
    }
    return pictures;
}

// Removes the pictures in `folder` that are not in `before`. Failures are ignored.
void RemoveNewPictures(const std::filesystem::path& folder, const PictureSet& before) {
    for (const auto& picture : ListPictures(folder)) {
        if (before.count(picture) == 0) {
            std::error_code error;
            std::filesystem::remove(picture, error);
        }
    }
}

// The conversation after the application has started. `before` receives the pictures in the
// folder just before the export call, when it is reached.
Outcome Converse(AutomationObject& application, int flags, const std::wstring& sourcePath,
                 const std::wstring& folder, int exportWidth, int exportHeight, int openDispId,
                 const vellumet::CancelToken* cancel, std::optional<PictureSet>& before) {
    AutomationHolder presentations;
    if (!GetObject(application, dispid::Application::Presentations, presentations)) {
        return Outcome::CallFailed;
    }
    AutomationHolder presentation;
    const Arguments open = {AutomationArgument::Text(sourcePath), AutomationArgument::Int32(1),
                            AutomationArgument::Int32(0), AutomationArgument::Int32(0)};
    if (!GetObject(*presentations.get(), openDispId, InvokeKind::Method, open, presentation)) {
        return Outcome::CallFailed;
    }

    const Outcome walked = WalkSlides(*presentation.get(), flags, cancel);
    if (walked != Outcome::Done) {
        return walked;
    }

    if (IsCancelled(cancel)) {
        return Outcome::Cancelled;
    }
    before = ListPictures(vellumet::ToPath(folder));
    const Arguments exportArguments = {
        AutomationArgument::Text(folder), AutomationArgument::Text(kPictureFilter),
        AutomationArgument::Int32(exportWidth), AutomationArgument::Int32(exportHeight)};
    if (!Call(*presentation.get(), dispid::Presentation::Export, InvokeKind::Method, exportArguments)) {
        return Outcome::CallFailed;
    }
    return Outcome::Done;
}

}  // namespace

int ExportSlides(int flags, const std::wstring& sourcePath, const std::wstring& folder, int exportWidth,
                 int exportHeight, int openDispId, AutomationServer& server,
                 const vellumet::CancelToken* cancel) {
    if (sourcePath.empty()) {
        return kExportNoSource;
    }
    if (IsCancelled(cancel)) {
        return kExportCancelled;
    }

    std::optional<PictureSet> before;
    Outcome outcome = Outcome::CallFailed;
    try {
        AutomationHolder application(server.CreateObject(kApplicationProgId));
        if (!application) {
            return kExportNoServer;
        }
        outcome = Converse(*application.get(), flags, sourcePath, folder, exportWidth, exportHeight,
                           openDispId, cancel, before);
        // Releasing the application here ends the office before its pictures are looked at.
    } catch (const std::exception&) {
        // Allocation failures and the like end the conversation; the holders have released
        // everything on the way out.
        outcome = Outcome::CallFailed;
    }

    if (outcome == Outcome::Done) {
        return kExportDone;
    }
    if (before.has_value()) {
        RemoveNewPictures(vellumet::ToPath(folder), *before);
    }
    return outcome == Outcome::Cancelled || IsCancelled(cancel) ? kExportCancelled : kExportCallFailed;
}

}  // namespace powerpoint
