#pragma once
// A recording automation server for tests of the slide export. It models a deck (slides with
// shapes, shapes with or without a text frame, frames with or without text), answers the call table
// with the invoke kinds and argument types the real office expects, records every call, counts
// references, and can be told to fail one call.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "powerpoint/Automation.h"

namespace fake {

using powerpoint::AutomationArgument;
using powerpoint::AutomationObject;
using powerpoint::InvokeKind;

enum class Kind {
    Application,
    Presentations,
    Presentation,
    Slides,
    Slide,
    Shapes,
    Shape,
    ShadowFormat,
    TextFrame,
    TextRange,
    Font,
};

const char* KindName(Kind kind);

struct Shape {
    bool hasTextFrame = false;
    bool hasText = false;
};

struct Slide {
    std::vector<Shape> shapes;
};

// One invoke as it reached the server.
struct Call {
    Kind on = Kind::Application;
    int object = 0;  // serial of the object, in order of creation from 1
    int32_t dispId = 0;
    InvokeKind kind = InvokeKind::Method;
    std::vector<AutomationArgument> args;
};

// Makes the occurrence-th call of dispId on an object of kind `on` fail: with an error, or, when
// missingObject is set, by succeeding without the object it should give.
struct Failure {
    Kind on = Kind::Application;
    int32_t dispId = 0;
    int occurrence = 1;
    bool missingObject = false;
};

class FakeOffice : public powerpoint::AutomationServer {
public:
    // What the office holds and how it behaves; set before the export.
    std::vector<Slide> deck;
    bool refuseStart = false;
    int32_t openDispId = 2005;  // the Open identifier this release knows
    std::optional<Failure> failure;
    // Called with each call before it is answered; may change the deck or request a cancel.
    std::function<void(FakeOffice&, const Call&)> onCall;
    // The export writes Slide<n>.png per slide into its folder; after writing this many it fails
    // (never when negative).
    int exportFailsAfter = -1;

    powerpoint::AutomationObject* CreateObject(const std::wstring& progId) override;

    // What happened.
    std::vector<std::wstring> progIds;  // every CreateObject request
    std::vector<Call> calls;
    std::vector<Kind> acquiredKinds;  // in order of creation
    std::vector<Kind> releasedKinds;  // in order of the last release
    int liveObjects = 0;
    int outOfOrderReleases = 0;  // last releases of an object that was not the latest live one
    int callsAfterEnd = 0;       // calls answered after the application was released
    bool officeEnded = false;

    // The calls with this identifier and kind, optionally only on objects of one kind.
    std::vector<Call> CallsTo(int32_t dispId, InvokeKind kind, std::optional<Kind> on = std::nullopt) const;
    bool AnyCallOn(Kind on) const;
    // Every put call, in order.
    std::vector<Call> Puts() const;

private:
    friend class Object;
    std::vector<int> live_;  // serials of live objects, in order of creation
    int nextSerial_ = 1;
};

}  // namespace fake
