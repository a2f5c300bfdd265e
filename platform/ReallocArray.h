#pragma once
// An array of plain values that grows with realloc: a large block is moved to
// a bigger place by remapping its pages, not by copying them, so growing never
// holds the old and the new array at once.

#include "FileError.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

template <class T> class ReallocArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    ReallocArray() = default;
    ReallocArray(ReallocArray&& other) noexcept
        : m_p(std::exchange(other.m_p, nullptr)), m_nSize(std::exchange(other.m_nSize, 0)),
          m_nCapacity(std::exchange(other.m_nCapacity, 0)) {}
    ReallocArray& operator=(ReallocArray&& other) noexcept {
        if (this != &other) {
            std::free(m_p);
            m_p = std::exchange(other.m_p, nullptr);
            m_nSize = std::exchange(other.m_nSize, 0);
            m_nCapacity = std::exchange(other.m_nCapacity, 0);
        }
        return *this;
    }
    ReallocArray(const ReallocArray&) = delete;
    ReallocArray& operator=(const ReallocArray&) = delete;
    ~ReallocArray() { std::free(m_p); }

    std::size_t Size() const noexcept { return m_nSize; }
    std::size_t Capacity() const noexcept { return m_nCapacity; }
    bool Empty() const noexcept { return m_nSize == 0; }
    T* Data() noexcept { return m_p; }
    const T* Data() const noexcept { return m_p; }
    T& operator[](std::size_t i) noexcept { return m_p[i]; }
    const T& operator[](std::size_t i) const noexcept { return m_p[i]; }

    static constexpr std::uint64_t kNoLimit = std::numeric_limits<std::uint64_t>::max();

    /// Room for `capacity` values in all, no more (a large first one: up to the end of
    /// its last huge page).
    void Reserve(std::size_t capacity) {
        if (capacity > m_nCapacity)
            Reallocate(capacity, capacity, kNoLimit);
    }
    /// Room for `more` values after the last, at least doubling the room when it grows
    /// by no more than `bytesLeft`; the TooBig ArchiveError when what is missing is more than that.
    void ReserveMore(std::size_t more, std::uint64_t bytesLeft = kNoLimit) {
        if (more <= m_nCapacity - m_nSize)
            return;
        if (more > kMaxCount - m_nSize)
            throw std::bad_alloc();
        const std::size_t need = m_nSize + more;
        Reallocate(need, std::max(need, std::min(kMaxCount, m_nCapacity * 2)), bytesLeft);
    }
    /// Gives back the room past the last value (in place for a large block).
    void ShrinkToFit() noexcept {
        if (m_nSize == m_nCapacity)
            return;
        if (m_nSize == 0) {
            std::free(std::exchange(m_p, nullptr));
            m_nCapacity = 0;
            return;
        }
        if (void* p = std::realloc(m_p, m_nSize * sizeof(T))) {
            m_p = static_cast<T*>(p);
            m_nCapacity = m_nSize;
        }
    }
    void Clear() noexcept { m_nSize = 0; }
    /// Counts `n` more values as in use, within the room reserved; returns the first of them.
    T* Extend(std::size_t n) noexcept {
        T* at = m_p + m_nSize;
        m_nSize += n;
        return at;
    }

    void PushBack(T value) {
        ReserveMore(1);
        m_p[m_nSize++] = value;
    }
    void Insert(std::size_t i, T value) {
        ReserveMore(1);
        std::memmove(m_p + i + 1, m_p + i, (m_nSize - i) * sizeof(T));
        m_p[i] = value;
        ++m_nSize;
    }
    void Erase(std::size_t i) noexcept {
        std::memmove(m_p + i, m_p + i + 1, (m_nSize - i - 1) * sizeof(T));
        --m_nSize;
    }

private:
    static constexpr std::size_t kMaxCount = static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(T);

    // Grows to `wanted` values, or to no fewer than `need` where fewer bytes are left.
    void Reallocate(std::size_t need, std::size_t wanted, std::uint64_t bytesLeft) {
        if (need > kMaxCount)
            throw std::bad_alloc();
        const std::uint64_t left = bytesLeft / sizeof(T);
        if (need - m_nCapacity > left)
            ThrowTooBigForMemory();
        if (wanted - m_nCapacity > left)
            wanted = m_nCapacity + static_cast<std::size_t>(left);
        // A large array in huge pages where the system gives them on request: a
        // million-row index takes a few faults instead of two thousand (each costs
        // some 10 us on a virtual machine). A first one starts on a huge page's edge,
        // so that all of it can lie in them; realloc moves it later as any other.
        constexpr std::size_t kLarge = std::size_t{4} << 20, kPage = 4096, kHugePage = std::size_t{2} << 20;
        void* p = nullptr;
        if (m_p || wanted * sizeof(T) < kLarge) {
            p = std::realloc(m_p, wanted * sizeof(T));
        } else {
            const std::size_t whole = (wanted * sizeof(T) + kHugePage - 1) / kHugePage * kHugePage;
            p = std::aligned_alloc(kHugePage, whole);
            wanted = whole / sizeof(T); // the last huge page is all room
        }
        if (!p)
            throw std::bad_alloc();
        m_p = static_cast<T*>(p);
        m_nCapacity = wanted;
        if (wanted * sizeof(T) >= kLarge) {
            const auto start = (reinterpret_cast<std::uintptr_t>(p) + kPage - 1) / kPage * kPage;
            ::madvise(reinterpret_cast<void*>(start), wanted * sizeof(T) - (start - reinterpret_cast<std::uintptr_t>(p)),
                      MADV_HUGEPAGE);
        }
    }

    T* m_p = nullptr;
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
};
