// A growable array whose element policy says whether it owns what it holds.
#pragma once

#include <cstdint>
#include <type_traits>

#include "foundation/ContainerPolicy.h"

template <typename T, typename ElementPolicy, typename ElementArg,
          typename Allocator = SProcessHeap>
class CVector {
    static_assert(std::is_trivially_copyable<T>::value, "elements live in a raw heap block");

public:
    CVector() = default;
    CVector(const CVector&) = delete;
    CVector& operator=(const CVector&) = delete;

    virtual ~CVector() {
        for (int32_t i = 0; i < count_; ++i) ElementPolicy::Release(items_[i]);
        count_ = 0;
        if (items_ != nullptr) Allocator::Free(items_);
    }

    // Appends the element and takes it over. When the array cannot grow, the
    // element is released under the policy (an owned one is deleted), the
    // vector stays as it was, and the result is false.
    [[nodiscard]] bool Add(ElementArg element) {
        if (count_ + 1 > capacity_ && !Grow()) {
            T rejected = element;
            ElementPolicy::Release(rejected);
            return false;
        }
        items_[count_] = element;
        ++count_;
        return true;
    }

    int32_t Count() const { return count_; }
    const T& operator[](int32_t index) const { return items_[index]; }

private:
    static constexpr int32_t kFirstCapacity = 16;
    // Beyond this count the doubled capacity would not fit in 32 bits.
    static constexpr int32_t kLargestGrowableCount = INT32_MAX / 2 - 1;

    [[nodiscard]] bool Grow() {
        if (count_ > kLargestGrowableCount) return false;
        int32_t capacity = 2 * (count_ + 1);
        if (capacity < kFirstCapacity) capacity = kFirstCapacity;
        size_t bytes = sizeof(T) * static_cast<size_t>(capacity);
        void* block =
            items_ != nullptr ? Allocator::Reallocate(items_, bytes) : Allocator::Allocate(bytes);
        if (block == nullptr) return false;
        items_ = static_cast<T*>(block);
        capacity_ = capacity;
        return true;
    }

    int32_t count_ = 0;
    int32_t capacity_ = 0;
    T* items_ = nullptr;
};
