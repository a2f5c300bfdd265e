#pragma once
// Realistic phone books of any size for benchmarks and peer comparisons:
// romaji names built from syllables, kanji names, phone numbers, some
// multi-line memos and some duplicate names. Deterministic by seed.

#include "data/PhoneRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// `count` records in generation order (not sorted).
std::vector<PhoneRecord> GenerateRecords(std::size_t count, std::uint64_t seed);

/// `count` cards as a phone writes them (vCard 3.0): a kanji name, its reading in
/// katakana split in two (left out when not `withReading`, for the dictionary), two
/// numbers and an e-mail. Deterministic by count.
std::string GeneratePhoneCards(std::size_t count, bool withReading);
