#pragma once
// A pass-through automation server that remembers why a conversation failed: it hands every call
// to another server's objects unchanged and keeps the first failed call's identifier, kind and
// error text, for a front end that wants to say more than that the export failed.
//
// Contracts:
// - The inner server must outlive the recorder; the recorder must outlive every object it handed
//   out (they are relays that hold one reference to the inner object each and release it when
//   their own last reference goes).
// - Like the objects it relays, it is used from one thread at a time.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "powerpoint/Automation.h"

namespace powerpoint {

struct FailedCall {
    int32_t dispId = 0;
    InvokeKind kind = InvokeKind::Method;
    std::wstring error;  // as the server gave it; may be empty
};

class FailureRecorder : public AutomationServer {
public:
    explicit FailureRecorder(AutomationServer& inner) : inner_(inner) {}

    AutomationObject* CreateObject(const std::wstring& progId) override;

    // The first call that failed since the recorder was made, if any.
    const std::optional<FailedCall>& FirstFailure() const { return firstFailure_; }

    // A one-line description of the first failure, e.g. "call 2005 (method) failed: no such file";
    // empty when nothing failed.
    std::wstring Describe() const;

private:
    friend class Relay;
    void Note(int32_t dispId, InvokeKind kind, const std::wstring& error);

    AutomationServer& inner_;
    std::optional<FailedCall> firstFailure_;
};

}  // namespace powerpoint
