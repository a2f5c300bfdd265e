#include "ContentHash.h"

#include <bit>
#include <cstring>

namespace {

// Four lanes of multiply-rotate rounds, one 8-byte word each per 32-byte stripe: the
// lanes do not wait for each other, so the hash keeps up with a read from memory.
constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;

std::uint64_t Word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

std::uint64_t Round(std::uint64_t lane, std::uint64_t word) {
    return std::rotl(lane + word * kPrime2, 31) * kPrime1;
}

} // namespace

void ContentHash::AddStripe(const char* p) {
    for (std::size_t i = 0; i < m_lanes.size(); ++i)
        m_lanes[i] = Round(m_lanes[i], Word(p + 8 * i));
}

void ContentHash::Add(std::string_view bytes) {
    m_nTotal += bytes.size();
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    if (m_nTail > 0) {
        const std::size_t take = std::min(left, kStripe - m_nTail);
        std::memcpy(m_tail.data() + m_nTail, p, take);
        m_nTail += take;
        p += take;
        left -= take;
        if (m_nTail < kStripe)
            return;
        AddStripe(m_tail.data());
        m_nTail = 0;
    }
    for (; left >= kStripe; p += kStripe, left -= kStripe)
        AddStripe(p);
    std::memcpy(m_tail.data(), p, left);
    m_nTail = left;
}

std::uint64_t ContentHash::Value() const {
    std::uint64_t h = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) +
                      std::rotl(m_lanes[3], 18);
    h ^= m_nTotal * kPrime3;
    std::size_t at = 0;
    for (; at + 8 <= m_nTail; at += 8)
        h = std::rotl(h ^ Round(0, Word(m_tail.data() + at)), 27) * kPrime1 + kPrime4;
    for (; at < m_nTail; ++at)
        h = std::rotl(h ^ (static_cast<unsigned char>(m_tail[at]) * kPrime3), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}
