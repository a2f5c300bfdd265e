#pragma once
// A fast hash of a file's bytes, to tell whether a file still holds what was read:
// not for security. Fed in pieces of any size, it gives the value of the whole.

#include <array>
#include <cstdint>
#include <string_view>

class ContentHash {
public:
    void Add(std::string_view bytes);
    /// The hash of all bytes added so far.
    std::uint64_t Value() const;

private:
    static constexpr std::size_t kStripe = 32;
    void AddStripe(const char* p);

    std::array<std::uint64_t, 4> m_lanes{0x60EA27EEADC0B5D6ull, 0xC2B2AE3D27D4EB4Full, 0ull, 0x61C8864E7A143579ull};
    std::array<char, kStripe> m_tail{};
    std::size_t m_nTail = 0;
    std::uint64_t m_nTotal = 0;
};
