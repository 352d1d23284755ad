#pragma once
// The vocabulary of the automation conversation: objects that answer invokes by dispatch
// identifier, with reference counting, and the holder that owns one reference.
//
// Contracts:
// - An object returned by an invoke or by AutomationServer::CreateObject carries one reference
//   that belongs to the receiver; put it in an AutomationHolder at once.
// - Invoke never throws. A failed call returns succeeded == false and, where known, why.
// - Objects are used from one thread at a time (the job's thread).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace powerpoint {

// How a member is invoked; the values are the automation protocol's.
enum class InvokeKind : int { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// One argument of an invoke: a text, a 32-bit integer, or a variant holding a 32-bit integer.
struct AutomationArgument {
    enum class Type { Text, Int32, VariantInt32 };

    Type type = Type::Int32;
    std::wstring text;  // for Type::Text
    int32_t value = 0;  // for Type::Int32 and Type::VariantInt32

    static AutomationArgument Text(std::wstring t) { return {Type::Text, std::move(t), 0}; }
    static AutomationArgument Int32(int32_t v) { return {Type::Int32, {}, v}; }
    static AutomationArgument VariantInt32(int32_t v) { return {Type::VariantInt32, {}, v}; }

    bool operator==(const AutomationArgument&) const = default;
};

class AutomationObject;

// The outcome of one invoke. A get or method yields either an object or an integer.
struct InvokeResult {
    bool succeeded = false;
    AutomationObject* object = nullptr;  // one new reference, owned by the caller; null if none
    int32_t integer = 0;                 // the integer result (VT_I4)
    std::wstring error;                  // what went wrong, when succeeded is false
};

// An automation object (the IDispatch shape). Deleted by its own Release.
class AutomationObject {
public:
    virtual void AddRef() = 0;
    virtual void Release() = 0;
    virtual InvokeResult Invoke(int32_t dispId, InvokeKind kind,
                                const std::vector<AutomationArgument>& args) = 0;

protected:
    virtual ~AutomationObject() = default;
};

// Owns exactly one reference to an automation object and releases it on every way out.
class AutomationHolder {
public:
    AutomationHolder() = default;
    explicit AutomationHolder(AutomationObject* adopted) noexcept : object_(adopted) {}
    ~AutomationHolder() { Reset(); }

    AutomationHolder(const AutomationHolder&) = delete;
    AutomationHolder& operator=(const AutomationHolder&) = delete;
    AutomationHolder(AutomationHolder&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    AutomationHolder& operator=(AutomationHolder&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.object_, nullptr));
        }
        return *this;
    }

    // Releases the reference held now (if any) and adopts `adopted`.
    void Reset(AutomationObject* adopted = nullptr) noexcept {
        if (object_ != nullptr) {
            object_->Release();
        }
        object_ = adopted;
    }

    AutomationObject* get() const noexcept { return object_; }
    AutomationObject* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    AutomationObject* object_ = nullptr;
};

// Starts an automation server for a class name (ProgID) and hands out its application object.
// Returns null when the server cannot be started. Releasing the application object's last
// reference ends the server.
class AutomationServer {
public:
    virtual ~AutomationServer() = default;
    virtual AutomationObject* CreateObject(const std::wstring& progId) = 0;
};

}  // namespace powerpoint
