#include "powerpoint/FailureRecorder.h"

#include <string>
#include <utility>

namespace powerpoint {

// Holds one reference to an inner object and answers for it.
class Relay : public AutomationObject {
public:
    // Takes over the reference in `inner`; if the relay cannot be made, `inner` still releases it.
    Relay(FailureRecorder& recorder, AutomationHolder&& inner)
        : recorder_(recorder), inner_(std::move(inner)) {}

    void AddRef() override { ++references_; }

    void Release() override {
        if (--references_ == 0) {
            delete this;
        }
    }

    InvokeResult Invoke(int32_t dispId, InvokeKind kind,
                        const std::vector<AutomationArgument>& args) override {
        InvokeResult result = inner_->Invoke(dispId, kind, args);
        if (result.object != nullptr) {
            AutomationHolder inner(std::exchange(result.object, nullptr));
            result.object = new Relay(recorder_, std::move(inner));
        }
        if (!result.succeeded) {
            recorder_.Note(dispId, kind, result.error);
        }
        return result;
    }

private:
    ~Relay() override = default;  // inner_ releases the inner object

    FailureRecorder& recorder_;
    AutomationHolder inner_;
    int references_ = 1;
};

AutomationObject* FailureRecorder::CreateObject(const std::wstring& progId) {
    AutomationHolder application(inner_.CreateObject(progId));
    if (!application) {
        return nullptr;
    }
    return new Relay(*this, std::move(application));
}

void FailureRecorder::Note(int32_t dispId, InvokeKind kind, const std::wstring& error) {
    if (!firstFailure_) {
        firstFailure_ = FailedCall{dispId, kind, error};
    }
}

std::wstring FailureRecorder::Describe() const {
    if (!firstFailure_) {
        return {};
    }
    const wchar_t* kind = L"method";
    if (firstFailure_->kind == InvokeKind::PropertyGet) {
        kind = L"get";
    } else if (firstFailure_->kind == InvokeKind::PropertyPut) {
        kind = L"put";
    }
    std::wstring line = L"call " + std::to_wstring(firstFailure_->dispId) + L" (" + kind + L") failed";
    if (!firstFailure_->error.empty()) {
        line += L": " + firstFailure_->error;
    }
    return line;
}

}  // namespace powerpoint
