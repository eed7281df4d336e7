// The one owner of every handle kind: move-only, empty at the value the
// handle's API returns on failure, and closing keeps GetLastError, so a
// caller can still report the failure that made it clean up.
//
// A kind is a traits record: `Type`, `Invalid()`, `IsValid(value)` and
// `Close(value)`. NullIsInvalid and InvalidValueIsInvalid give the first three
// for the two usual failure values.
#pragma once

#include <windows.h>

template <typename Traits>
class UniqueOwner {
public:
    using Type = typename Traits::Type;

    UniqueOwner() = default;
    explicit UniqueOwner(Type value) : value_(value) {}
    ~UniqueOwner() { Close(); }
    UniqueOwner(UniqueOwner&& other) noexcept : value_(other.Detach()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;

    bool IsValid() const { return Traits::IsValid(value_); }
    const Type& Get() const { return value_; }

    Type Detach() {
        Type value = value_;
        value_ = Traits::Invalid();
        return value;
    }

    void Reset(Type value = Traits::Invalid()) {
        Close();
        value_ = value;
    }

    void Close() {
        if (!IsValid()) return;
        DWORD error = GetLastError();
        Traits::Close(value_);
        SetLastError(error);
        value_ = Traits::Invalid();
    }

    // For calls that hand out a new value through a pointer; closes the current one first.
    Type* Receive() {
        Close();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

template <typename T>
struct NullIsInvalid {
    using Type = T;
    static Type Invalid() { return Type(); }
    static bool IsValid(Type value) { return value != Type(); }
};

// For the calls that fail with INVALID_HANDLE_VALUE (CreateFileW, FindFirstFileW).
struct InvalidValueIsInvalid {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type value) { return value != INVALID_HANDLE_VALUE; }
};
