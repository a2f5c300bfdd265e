#include "Mbcs.h"

#include <bit>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// Reads the character at `pos` and advances; returns 0 at the end of the string.
// With `fold`, letters map to their lower-case form.
inline __attribute__((always_inline)) unsigned NextChar(std::string_view s, std::size_t& pos, bool fold) noexcept {
    if (pos >= s.size())
        return 0;
    const auto b = static_cast<unsigned char>(s[pos]);
    if (b == 0)
        return 0;
    if (IsLeadByte(b)) {
        if (pos + 1 >= s.size() || s[pos + 1] == '\0')
            return 0; // a lead byte without its trail byte ends the string
        unsigned c = b * 256u + static_cast<unsigned char>(s[pos + 1]);
        pos += 2;
        if (fold && c >= 0x8260 && c <= 0x8279) // full-width A-Z -> a-z
            c += 0x21;
        return c;
    }
    ++pos;
    if (fold && b >= 'A' && b <= 'Z')
        return b + 0x20u;
    return b;
}

int Compare(std::string_view a, std::string_view b, bool fold) noexcept {
    std::size_t i = 0, j = 0;
    for (;;) {
        const unsigned ca = NextChar(a, i, fold);
        const unsigned cb = NextChar(b, j, fold);
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

} // namespace

int MbsCmp(std::string_view a, std::string_view b) noexcept {
    // Plain bytes compare like characters as long as both sides agree: the common
    // prefix goes eight bytes at a time, and only the character where the strings
    // first differ needs the character rules.
    constexpr std::uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t k = 0;
    for (std::uint64_t x, y; k + 8 <= n; k += 8) {
        std::memcpy(&x, a.data() + k, 8);
        std::memcpy(&y, b.data() + k, 8);
        // The lowest flagged byte is the first NUL (flags above it may be false).
        const std::uint64_t nuls = (x - kOnes) & ~x & kHighs;
        if (x != y) {
            if constexpr (std::endian::native == std::endian::little) {
                // Byte i of the text is bits 8i..8i+7: the first difference is the lowest one.
                const auto at = static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
                if (nuls != 0 && static_cast<std::size_t>(std::countr_zero(nuls)) / 8 < at)
                    return 0; // a NUL before it ends both strings
                k += at;
            }
            break;
        }
        // A NUL byte in the common prefix ends both strings there: they are equal.
        if (nuls != 0)
            return 0;
    }
    if (k + 8 > n && k < n && n >= 8) {
        // The last few bytes as the last eight: those before k are known to be equal.
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + n - 8, 8);
        std::memcpy(&y, b.data() + n - 8, 8);
        const std::uint64_t nuls = (x - kOnes) & ~x & kHighs;
        if constexpr (std::endian::native == std::endian::little) {
            const std::size_t at = x == y ? 8 : static_cast<std::size_t>(std::countr_zero(x ^ y)) / 8;
            if (nuls != 0 && static_cast<std::size_t>(std::countr_zero(nuls)) / 8 < at)
                return 0; // a NUL before the difference ends both strings
            k = n - 8 + at;
        }
    }
    for (; k < n && a[k] == b[k]; ++k)
        if (a[k] == '\0')
            return 0;
    if (k == n && a.size() == b.size())
        return 0; // the same bytes
    // Back up to the start of the character that holds position k. The run of
    // lead-range bytes just before k starts on a character boundary (the byte
    // before the run is a single character or a trail byte) and pairs up from
    // there, so an odd run means the byte before k leads a character.
    std::size_t run = 0;
    while (run < k && IsLeadByte(static_cast<unsigned char>(a[k - 1 - run])))
        ++run;
    const std::size_t start = k - (run % 2);
    // Most often two single-byte characters differ there and decide at once.
    if (start == k && k < n) {
        const auto x = static_cast<unsigned char>(a[k]), y = static_cast<unsigned char>(b[k]);
        if (x != 0 && y != 0 && !IsLeadByte(x) && !IsLeadByte(y))
            return x < y ? -1 : 1;
    }
    return Compare(a.substr(start), b.substr(start), false);
}

std::size_t OtherCase(std::string_view s, std::string& other) {
    other.assign(s);
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == 0)
            return i;
        if (!IsLeadByte(b)) {
            if (b >= 'A' && b <= 'Z')
                other[i] = static_cast<char>(b + 0x20);
            else if (b >= 'a' && b <= 'z')
                other[i] = static_cast<char>(b - 0x20);
            ++i;
            continue;
        }
        if (i + 1 >= s.size() || s[i + 1] == '\0')
            return i; // a cut character
        const auto trail = static_cast<unsigned char>(s[i + 1]);
        if (b == 0x82 && trail >= 0x60 && trail <= 0x79) // full-width A-Z
            other[i + 1] = static_cast<char>(trail + 0x21);
        else if (b == 0x82 && trail >= 0x81 && trail <= 0x9A) // full-width a-z
            other[i + 1] = static_cast<char>(trail - 0x21);
        i += 2;
    }
    return i;
}

MbsSortKey MakeMbsSortKey(std::string_view s) noexcept {
    unsigned char code[16 + 2] = {}; // room for a three-byte code begun at the last byte
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size() && n < 16;) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b == 0)
            break;
        if (b < 0x80) {
            code[n++] = b;
            ++i;
        } else if (!IsLeadByte(b)) {
            code[n++] = 0x80;
            code[n++] = b;
            ++i;
        } else {
            if (i + 1 >= s.size() || s[i + 1] == '\0')
                break; // a lead byte without its trail byte ends the string
            code[n++] = 0x81;
            code[n++] = b;
            code[n++] = static_cast<unsigned char>(s[i + 1]);
            i += 2;
        }
    }
    MbsSortKey key;
    for (std::size_t k = 0; k < 8; ++k) {
        key.hi = key.hi << 8 | code[k];
        key.lo = key.lo << 8 | code[k + 8];
    }
    return key;
}

int MbsICmp(std::string_view a, std::string_view b) noexcept {
    return Compare(a, b, true);
}

int AtoI(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            break; // saturated either way; the remaining digits cannot bring it back
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

std::string IToA(int value) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}
