// Reference-counted, copy-on-write strings whose whole value is one pointer
// to zero-terminated characters, so they go unchanged to platform calls.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace shared_string_detail {

// Lies immediately before the characters. A block for capacity n takes
// n units plus 16 bytes: this header, the characters and the terminator.
struct Header {
    int32_t references;
    int32_t capacity;
    int32_t length;  // -1: not counted yet
};

constexpr size_t kBlockOverhead = 16;

void* AllocateBlock(size_t bytes);
void* ReallocateBlock(void* block, size_t bytes);
void FreeBlock(void* block);

}  // namespace shared_string_detail

template <typename Char>
class SharedString {
public:
    SharedString() = default;
    SharedString(const SharedString& other) : chars_(other.chars_) { AddReference(); }
    SharedString& operator=(const SharedString& other);
    ~SharedString() { Release(); }

    const Char* Chars() const { return chars_; }
    bool IsNull() const { return chars_ == nullptr; }
    int32_t GetLength() const;
    int32_t GetCapacity() const { return chars_ ? HeaderOf(chars_)->capacity : 0; }
    int32_t GetReferenceCount() const { return chars_ ? HeaderOf(chars_)->references : 0; }

    // An unshared buffer of at least n characters, or null when memory runs out
    // (the string is then left as it was).
    [[nodiscard]] Char* GetBuffer(int32_t n);
    void Release();

protected:
    // Counted insertion shared by both forms; count must already be resolved.
    [[nodiscard]] bool InsertCounted(int32_t position, const Char* text, int32_t count);
    [[nodiscard]] bool AssignCounted(const Char* text, int32_t count);
    static int32_t CountUnits(const Char* text);

private:
    using Header = shared_string_detail::Header;
    static Header* HeaderOf(Char* chars) { return reinterpret_cast<Header*>(chars) - 1; }
    static Header* HeaderOf(const Char* chars) { return HeaderOf(const_cast<Char*>(chars)); }
    static Char* AllocateChars(int32_t n);
    void AddReference();

    Char* chars_ = nullptr;
};

class WideString : public SharedString<wchar_t> {
public:
    [[nodiscard]] bool Assign(const wchar_t* text, int32_t count = -1);
    [[nodiscard]] bool Insert(int32_t position, const wchar_t* text, int32_t count = -1);
    [[nodiscard]] bool Append(const wchar_t* text, int32_t count = -1);

    // Mixing encodings is a mistake the compiler should catch.
    bool Assign(const char*, int32_t = -1) = delete;
    bool Insert(int32_t, const char*, int32_t = -1) = delete;
    bool Append(const char*, int32_t = -1) = delete;
};

class NarrowString : public SharedString<char> {
public:
    [[nodiscard]] bool Assign(const char* text);
    [[nodiscard]] bool Insert(int32_t position, const char* text);
    [[nodiscard]] bool Append(const char* text);

    bool Assign(const wchar_t*) = delete;
    bool Insert(int32_t, const wchar_t*) = delete;
    bool Append(const wchar_t*) = delete;
};

bool operator==(const WideString& left, const WideString& right);
inline bool operator!=(const WideString& left, const WideString& right) {
    return !(left == right);
}

// printf-style formatting in the Microsoft runtime's wide conventions:
// "%s" a wide text, "%S" an 8-bit text, "(null)" for a null text.
WideString Format(const wchar_t* format, ...);
WideString FormatV(const wchar_t* format, va_list arguments);

// The empty text; a failed allocation leaves the null string, which every
// reader of texts takes as empty too.
WideString EmptyText();

// Wide text to UTF-8; null in, null out.
NarrowString ToUtf8(const wchar_t* text);
// 8-bit text widened byte by byte (the "C" locale); null in, null out.
WideString FromNarrow(const char* text);
