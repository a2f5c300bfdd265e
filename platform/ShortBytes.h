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

/// Whether `text` holds the byte `c`, eight bytes at a time.
inline bool HoldsByte(std::string_view text, char c) noexcept {
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    const std::uint64_t pattern = kOnes * static_cast<unsigned char>(c);
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; n -= 8, p += 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= pattern; // a zero byte where `c` stands
        if (((w - kOnes) & ~w & kHighs) != 0)
            return true;
    }
    for (; n > 0; --n, ++p)
        if (*p == c)
            return true;
    return false;
}
