#pragma once
// Copies and searches of the short byte strings a phone book is made of (names, numbers,
// a few dozen bytes), inline and without a library call: fixed-size loads and stores
// that may overlap, touching exactly the bytes given.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

/// Copies the `n` bytes at `from` to `to`; the two must not overlap.
inline void CopyShort(char* to, const char* from, std::size_t n) noexcept {
    if (n >= 16) {
        if (n > 64) {
            std::memcpy(to, from, n);
            return;
        }
        if (n > 32) {
            std::memcpy(to + 16, from + 16, 16);
            std::memcpy(to + n - 32, from + n - 32, 16);
        }
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

namespace short_bytes_detail {
constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
// Whether the eight bytes at `p` hold the byte of pattern `pa` or of `pb` (each that byte eight times).
inline bool WordHolds(const char* p, std::uint64_t pa, std::uint64_t pb) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t a = w ^ pa, b = w ^ pb; // a zero byte where the byte stands
    return (((a - kOnes) & ~a) | ((b - kOnes) & ~b)) & kHighs;
}
} // namespace short_bytes_detail

/// Whether `text` holds the byte `a` or the byte `b`, eight bytes at a time.
inline bool HoldsEitherByte(std::string_view text, char a, char b) noexcept {
    using namespace short_bytes_detail;
    const std::uint64_t pa = kOnes * static_cast<unsigned char>(a), pb = kOnes * static_cast<unsigned char>(b);
    const char* p = text.data();
    const std::size_t n = text.size();
    if (n < 8) {
        for (std::size_t i = 0; i < n; ++i)
            if (p[i] == a || p[i] == b)
                return true;
        return false;
    }
    for (std::size_t i = 0; i + 8 < n; i += 8)
        if (WordHolds(p + i, pa, pb))
            return true;
    return WordHolds(p + n - 8, pa, pb); // the last eight, overlapping those before
}

/// Whether `text` holds the byte `c`.
inline bool HoldsByte(std::string_view text, char c) noexcept { return HoldsEitherByte(text, c, c); }
