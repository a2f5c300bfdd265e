#pragma once
// Character functions of code page 932 (Shift_JIS), as the C runtime of the
// program's original platform gives them. Every string is a byte string;
// lengths and positions are byte counts.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// True for the lead byte of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char b) noexcept {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

/// Byte length of the character that starts at `pos` (1 or 2). A lead byte
/// in the last position of `s` counts as one byte.
inline std::size_t MbcLen(std::string_view s, std::size_t pos) noexcept {
    return IsLeadByte(static_cast<unsigned char>(s[pos])) && pos + 1 < s.size() ? 2 : 1;
}

/// Multibyte ordering comparison (`_mbscmp`): character by character, a
/// double-byte character being one unit of value lead*256+trail. A NUL byte,
/// or a lead byte directly before the end or before a NUL, ends the string.
/// Returns <0, 0 or >0.
int MbsCmp(std::string_view a, std::string_view b) noexcept;

/// A key of the first characters of `s` in MbsCmp's order, for sorting many names:
/// when the keys of two strings differ they order the strings as MbsCmp does; when
/// they are equal the strings may still differ (compare them), unless the key's last
/// byte is 0, which says both strings end within it and are equal. Each character is
/// a code of its own (1 byte below 0x80, 2 for any other single byte, 3 for a double
/// byte), the string's end all zeros after it; the key holds the first 16 bytes of that
/// code, most significant first.
struct MbsSortKey {
    std::uint64_t hi = 0, lo = 0;
    friend auto operator<=>(const MbsSortKey&, const MbsSortKey&) = default;
};
MbsSortKey MakeMbsSortKey(std::string_view s) noexcept;

/// Case-insensitive multibyte comparison (`_mbsicmp`): as MbsCmp, but the
/// single-byte letters A-Z/a-z and the full-width Latin letters (82 60-82 79,
/// 82 81-82 9A) compare without regard to case. Nothing else folds.
int MbsICmp(std::string_view a, std::string_view b) noexcept;

/// The bytes of `s` with every letter MbsICmp folds in its other case (A-Z and a-z, and
/// the full-width Latin letters), into `other`. Stops at a NUL or at a lead byte without
/// its trail byte, which end the string for the comparisons; returns where it stopped,
/// `s.size()` when it went through.
std::size_t OtherCase(std::string_view s, std::string& other);

/// `atoi`: skips leading white space, takes an optional sign and the decimal
/// digits that follow; stops at the first other byte. Saturates at the limits
/// of a 32-bit int instead of overflowing. No digits give 0.
int AtoI(std::string_view s) noexcept;

/// `_itoa` in base 10: a minus sign for negative values, no leading zeros.
std::string IToA(int value);
