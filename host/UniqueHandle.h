// Owns one kernel handle; empty at the value the creating call returns on failure.
#pragma once

#include <windows.h>

class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(Normalize(handle)) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool IsValid() const { return handle_ != nullptr; }
    HANDLE Detach() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        Close();
        handle_ = Normalize(handle);
    }
    // Keeps the caller's last error, so a failure can still be reported after cleanup.
    void Close() {
        if (!handle_) return;
        DWORD error = GetLastError();
        CloseHandle(handle_);
        SetLastError(error);
        handle_ = nullptr;
    }

private:
    static HANDLE Normalize(HANDLE handle) {
        return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    HANDLE handle_ = nullptr;
};
