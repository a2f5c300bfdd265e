// The hash that tells whether a file still holds what was read: the same for the same
// bytes however they were read, different when a byte differs.

#include "platform/ContentHash.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

std::uint64_t HashInPieces(const std::string& bytes, std::mt19937& random) {
    ContentHash hash;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t piece = std::uniform_int_distribution<std::size_t>(0, 70)(random);
        hash.Add(std::string_view(bytes).substr(at, piece));
        at += piece;
    }
    return hash.Value();
}

} // namespace

TEST(ContentHash, SameForAnyPiecesDifferentForAnyByte) {
    std::mt19937 random(7);
    for (const std::size_t size : {0u, 1u, 7u, 31u, 32u, 33u, 64u, 1000u}) {
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        ContentHash whole;
        whole.Add(bytes);
        EXPECT_EQ(HashInPieces(bytes, random), whole.Value()) << size;
        for (std::size_t at = 0; at < size; ++at) {
            std::string changed = bytes;
            changed[at] = static_cast<char>(changed[at] ^ 0x01);
            ContentHash other;
            other.Add(changed);
            EXPECT_NE(other.Value(), whole.Value()) << size << " at " << at;
        }
        // A zero byte more is another file.
        ContentHash longer;
        longer.Add(bytes + '\0');
        EXPECT_NE(longer.Value(), whole.Value()) << size;
    }
}
