#include "FakeOffice.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <system_error>
#include <utility>

#include "common/WideText.h"
#include "powerpoint/DispatchIds.h"

namespace fake {

using powerpoint::InvokeResult;
namespace dispid = powerpoint::dispid;

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Application:
            return "application";
        case Kind::Presentations:
            return "presentations";
        case Kind::Presentation:
            return "presentation";
        case Kind::Slides:
            return "slides";
        case Kind::Slide:
            return "slide";
        case Kind::Shapes:
            return "shapes";
        case Kind::Shape:
            return "shape";
        case Kind::ShadowFormat:
            return "shadow format";
        case Kind::TextFrame:
            return "text frame";
        case Kind::TextRange:
            return "text range";
        case Kind::Font:
            return "font";
    }
    return "?";
}

namespace {

using Type = AutomationArgument::Type;

bool HasTypes(const std::vector<AutomationArgument>& args, std::initializer_list<Type> types) {
    if (args.size() != types.size()) {
        return false;
    }
    return std::equal(args.begin(), args.end(), types.begin(),
                      [](const AutomationArgument& a, Type t) { return a.type == t; });
}

InvokeResult Failed(std::wstring why) {
    InvokeResult result;
    result.error = std::move(why);
    return result;
}

InvokeResult Integer(bool truth) {
    InvokeResult result;
    result.succeeded = true;
    result.integer = truth ? -1 : 0;  // the object model's true is -1
    return result;
}

InvokeResult Integer(size_t count) {
    InvokeResult result;
    result.succeeded = true;
    result.integer = static_cast<int32_t>(count);
    return result;
}

InvokeResult Nothing() {
    InvokeResult result;
    result.succeeded = true;
    return result;
}

}  // namespace

class Object : public AutomationObject {
public:
    Object(FakeOffice& office, Kind kind, int slide, int shape)
        : office_(office), kind_(kind), slide_(slide), shape_(shape), serial_(office.nextSerial_++) {
        office_.live_.push_back(serial_);
        office_.acquiredKinds.push_back(kind_);
        ++office_.liveObjects;
    }

    void AddRef() override { ++references_; }

    void Release() override {
        if (--references_ > 0) {
            return;
        }
        if (office_.live_.empty() || office_.live_.back() != serial_) {
            ++office_.outOfOrderReleases;
        }
        std::erase(office_.live_, serial_);
        office_.releasedKinds.push_back(kind_);
        --office_.liveObjects;
        if (kind_ == Kind::Application) {
            office_.officeEnded = true;
        }
        delete this;
    }

    InvokeResult Invoke(int32_t dispId, InvokeKind kind,
                        const std::vector<AutomationArgument>& args) override {
        if (office_.officeEnded) {
            ++office_.callsAfterEnd;
        }
        const Call call{kind_, serial_, dispId, kind, args};
        office_.calls.push_back(call);
        if (office_.onCall) {
            office_.onCall(office_, call);
        }

        bool missingObject = false;
        if (office_.failure && office_.failure->on == kind_ && office_.failure->dispId == dispId) {
            const int seen = static_cast<int>(office_.CallsTo(dispId, kind, kind_).size());
            if (seen == office_.failure->occurrence) {
                if (!office_.failure->missingObject) {
                    return Failed(L"told to fail");
                }
                missingObject = true;
            }
        }
        InvokeResult result = Answer(dispId, kind, args);
        if (missingObject && result.object != nullptr) {
            result.object->Release();
            result.object = nullptr;
        }
        return result;
    }

private:
    ~Object() override = default;

    InvokeResult Make(Kind kind, int slide, int shape) {
        InvokeResult result;
        result.succeeded = true;
        result.object = new Object(office_, kind, slide, shape);
        return result;
    }

    Slide* CurrentSlide() {
        if (slide_ < 0 || static_cast<size_t>(slide_) >= office_.deck.size()) {
            return nullptr;
        }
        return &office_.deck[static_cast<size_t>(slide_)];
    }

    Shape* CurrentShape() {
        Slide* slide = CurrentSlide();
        if (slide == nullptr || shape_ < 0 || static_cast<size_t>(shape_) >= slide->shapes.size()) {
            return nullptr;
        }
        return &slide->shapes[static_cast<size_t>(shape_)];
    }

    InvokeResult Answer(int32_t dispId, InvokeKind kind, const std::vector<AutomationArgument>& args) {
        const bool get = kind == InvokeKind::PropertyGet && args.empty();
        const bool method = kind == InvokeKind::Method;
        const bool putInt = kind == InvokeKind::PropertyPut && HasTypes(args, {Type::Int32});
        const bool indexed = method && HasTypes(args, {Type::VariantInt32});

        switch (kind_) {
            case Kind::Application:
                if (dispId == dispid::Application::Presentations && get) {
                    return Make(Kind::Presentations, -1, -1);
                }
                break;
            case Kind::Presentations:
                if (dispId == office_.openDispId && method &&
                    HasTypes(args, {Type::Text, Type::Int32, Type::Int32, Type::Int32})) {
                    return Make(Kind::Presentation, -1, -1);
                }
                break;
            case Kind::Presentation:
                if (dispId == dispid::Presentation::Slides && get) {
                    return Make(Kind::Slides, -1, -1);
                }
                if (dispId == dispid::Presentation::Export && method &&
                    HasTypes(args, {Type::Text, Type::Text, Type::Int32, Type::Int32})) {
                    return Export(args[0].text);
                }
                break;
            case Kind::Slides:
                if (dispId == dispid::Slides::Count && get) {
                    return Integer(office_.deck.size());
                }
                if (dispId == dispid::Slides::Item && indexed && args[0].value >= 1 &&
                    static_cast<size_t>(args[0].value) <= office_.deck.size()) {
                    return Make(Kind::Slide, args[0].value - 1, -1);
                }
                break;
            case Kind::Slide:
                if (CurrentSlide() == nullptr) {
                    return Failed(L"the slide is gone");
                }
                if (dispId == dispid::Slide::DisplayMasterShapes && putInt) {
                    return Nothing();
                }
                if (dispId == dispid::Slide::Shapes && get) {
                    return Make(Kind::Shapes, slide_, -1);
                }
                break;
            case Kind::Shapes:
                if (CurrentSlide() == nullptr) {
                    return Failed(L"the slide is gone");
                }
                if (dispId == dispid::Shapes::Count && get) {
                    return Integer(CurrentSlide()->shapes.size());
                }
                if (dispId == dispid::Shapes::Item && indexed && args[0].value >= 1 &&
                    static_cast<size_t>(args[0].value) <= CurrentSlide()->shapes.size()) {
                    return Make(Kind::Shape, slide_, args[0].value - 1);
                }
                break;
            case Kind::Shape: {
                const Shape* shape = CurrentShape();
                if (shape == nullptr) {
                    return Failed(L"the shape is gone");
                }
                if (dispId == dispid::Shape::Shadow && get) {
                    return Make(Kind::ShadowFormat, slide_, shape_);
                }
                if (dispId == dispid::Shape::HasTextFrame && get) {
                    return Integer(shape->hasTextFrame);
                }
                if (dispId == dispid::Shape::TextFrame && get && shape->hasTextFrame) {
                    return Make(Kind::TextFrame, slide_, shape_);
                }
                break;
            }
            case Kind::ShadowFormat:
                if (dispId == dispid::ShadowFormat::Visible && putInt) {
                    return Nothing();
                }
                break;
            case Kind::TextFrame: {
                const Shape* shape = CurrentShape();
                if (shape == nullptr) {
                    return Failed(L"the shape is gone");
                }
                if (dispId == dispid::TextFrame::HasText && get) {
                    return Integer(shape->hasText);
                }
                if (dispId == dispid::TextFrame::TextRange && get) {
                    return Make(Kind::TextRange, slide_, shape_);
                }
                break;
            }
            case Kind::TextRange:
                if (dispId == dispid::TextRange::Font && get) {
                    return Make(Kind::Font, slide_, shape_);
                }
                break;
            case Kind::Font:
                if ((dispId == dispid::Font::Shadow || dispId == dispid::Font::Emboss) && putInt) {
                    return Nothing();
                }
                break;
        }
        return Failed(L"unknown member or arguments");
    }

    InvokeResult Export(const std::wstring& folder) {
        const auto path = vellumet::ToPath(folder);
        std::error_code error;
        std::filesystem::create_directories(path, error);
        for (size_t n = 1; n <= office_.deck.size(); ++n) {
            if (office_.exportFailsAfter >= 0 && n > static_cast<size_t>(office_.exportFailsAfter)) {
                return Failed(L"export stopped");
            }
            std::ofstream(path / ("Slide" + std::to_string(n) + ".png"), std::ios::binary) << "picture";
        }
        if (office_.exportFailsAfter >= 0 &&
            office_.deck.size() <= static_cast<size_t>(office_.exportFailsAfter)) {
            return Failed(L"export stopped");
        }
        return Nothing();
    }

    FakeOffice& office_;
    Kind kind_;
    int slide_;  // 0-based, -1 when the object is not about one slide
    int shape_;  // 0-based, -1 when the object is not about one shape
    int serial_;
    int references_ = 1;
};

AutomationObject* FakeOffice::CreateObject(const std::wstring& progId) {
    progIds.push_back(progId);
    if (refuseStart || progId != powerpoint::kApplicationProgId) {
        return nullptr;
    }
    return new Object(*this, Kind::Application, -1, -1);
}

std::vector<Call> FakeOffice::CallsTo(int32_t dispId, InvokeKind kind, std::optional<Kind> on) const {
    std::vector<Call> found;
    for (const Call& call : calls) {
        if (call.dispId == dispId && call.kind == kind && (!on || *on == call.on)) {
            found.push_back(call);
        }
    }
    return found;
}

bool FakeOffice::AnyCallOn(Kind on) const {
    return std::any_of(calls.begin(), calls.end(), [on](const Call& call) { return call.on == on; });
}

std::vector<Call> FakeOffice::Puts() const {
    std::vector<Call> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [](const Call& call) { return call.kind == InvokeKind::PropertyPut; });
    return found;
}

}  // namespace fake
