#include "foundation/SharedString.h"

#include <cstdlib>
#include <cstring>

namespace {

template <typename Char>
size_t BlockBytes(int32_t capacity) {
    return static_cast<size_t>(capacity) * sizeof(Char) + shared_string_detail::kBlockOverhead;
}

}  // namespace

template <typename Char>
SharedString<Char>& SharedString<Char>::operator=(const SharedString& other) {
    if (other.chars_ != chars_) {
        Release();
        chars_ = other.chars_;
        AddReference();
    }
    return *this;
}

template <typename Char>
void SharedString<Char>::AddReference() {
    if (chars_) ++HeaderOf(chars_)->references;
}

template <typename Char>
void SharedString<Char>::Release() {
    if (!chars_) return;
    Header* header = HeaderOf(chars_);
    if (header->references <= 1) {
        shared_string_detail::FreeBlock(header);
    } else {
        --header->references;
    }
    chars_ = nullptr;
}

template <typename Char>
int32_t SharedString<Char>::CountUnits(const Char* text) {
    if (!text) return 0;
    int32_t count = 0;
    while (text[count]) ++count;
    return count;
}

template <typename Char>
int32_t SharedString<Char>::GetLength() const {
    if (!chars_) return 0;
    Header* header = HeaderOf(chars_);
    if (header->length == -1) header->length = CountUnits(chars_);
    return header->length;
}

template <typename Char>
Char* SharedString<Char>::AllocateChars(int32_t n) {
    auto* header = static_cast<Header*>(shared_string_detail::AllocateBlock(BlockBytes<Char>(n)));
    if (!header) return nullptr;
    header->references = 1;
    header->capacity = n;
    header->length = -1;
    return reinterpret_cast<Char*>(header + 1);
}

template <typename Char>
Char* SharedString<Char>::GetBuffer(int32_t n) {
    if (n < 0) return nullptr;
    if (!chars_) {
        Char* chars = AllocateChars(n);
        if (!chars) return nullptr;
        chars[n] = 0;
        chars_ = chars;
        return chars_;
    }
    Header* header = HeaderOf(chars_);
    if (header->references > 1) {
        Char* chars = AllocateChars(n);
        if (!chars) return nullptr;
        int32_t kept = header->capacity < n ? header->capacity : n;
        std::memcpy(chars, chars_, (static_cast<size_t>(kept) + 1) * sizeof(Char));
        --header->references;
        chars_ = chars;
        return chars_;
    }
    if (n <= header->capacity) {
        header->length = -1;
        return chars_;
    }
    auto* grown =
        static_cast<Header*>(shared_string_detail::ReallocateBlock(header, BlockBytes<Char>(n)));
    if (!grown) return nullptr;
    grown->capacity = n;
    grown->references = 1;
    grown->length = -1;
    chars_ = reinterpret_cast<Char*>(grown + 1);
    chars_[n] = 0;
    return chars_;
}

template <typename Char>
bool SharedString<Char>::AssignCounted(const Char* text, int32_t count) {
    Release();
    if (!text) return true;
    Char* chars = GetBuffer(count);
    if (!chars) return false;
    std::memcpy(chars, text, static_cast<size_t>(count) * sizeof(Char));
    chars[count] = 0;
    HeaderOf(chars)->length = count;
    return true;
}

template <typename Char>
bool SharedString<Char>::InsertCounted(int32_t position, const Char* text, int32_t count) {
    if (position < 0) position = GetLength();
    int32_t oldLength = GetLength();
    int32_t newLength = oldLength + count;
    Char* chars;
    if (!chars_ || HeaderOf(chars_)->references > 1) {
        chars = GetBuffer(newLength);
    } else {
        int32_t capacity = HeaderOf(chars_)->capacity;
        if (capacity < newLength) {
            int32_t doubled = 2 * capacity;
            chars = GetBuffer(doubled > newLength ? doubled : newLength);
        } else {
            chars = chars_;
        }
    }
    if (!chars) return false;
    if (position < oldLength && count > 0) {
        std::memmove(chars + position + count, chars + position,
                     static_cast<size_t>(oldLength - position) * sizeof(Char));
    }
    if (count > 0) std::memcpy(chars + position, text, static_cast<size_t>(count) * sizeof(Char));
    chars[newLength] = 0;
    HeaderOf(chars)->length = newLength;
    return true;
}

template class SharedString<wchar_t>;
template class SharedString<char>;

bool WideString::Assign(const wchar_t* text, int32_t count) {
    if (text && count < 0) count = CountUnits(text);
    return AssignCounted(text, count);
}

bool WideString::Insert(int32_t position, const wchar_t* text, int32_t count) {
    if (count == 0) return true;
    if (count < 0) count = CountUnits(text);
    return InsertCounted(position, text, count);
}

bool WideString::Append(const wchar_t* text, int32_t count) {
    return Insert(GetLength(), text, count);
}

bool NarrowString::Assign(const char* text) {
    return AssignCounted(text, CountUnits(text));
}

bool NarrowString::Insert(int32_t position, const char* text) {
    return InsertCounted(position, text, CountUnits(text));
}

bool NarrowString::Append(const char* text) {
    return Insert(GetLength(), text);
}

bool operator==(const WideString& left, const WideString& right) {
    const wchar_t* a = left.Chars();
    const wchar_t* b = right.Chars();
    if (a == b) return true;
    if (!a || !b) return false;
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

WideString FromNarrow(const char* text) {
    WideString wide;
    if (!text) return wide;
    size_t length = std::strlen(text);
    wchar_t* buffer = wide.GetBuffer(static_cast<int32_t>(2 * length + 1));
    if (!buffer) return WideString();
    std::mbstowcs(buffer, text, length + 1);
    return wide;
}

WideString EmptyText() {
    WideString text;
    static_cast<void>(text.Assign(L""));
    return text;
}
