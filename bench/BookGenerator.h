#pragma once
// Realistic phone books of any size for benchmarks and peer comparisons:
// romaji names built from syllables, kanji names, phone numbers, some
// multi-line memos and some duplicate names. Deterministic by seed.

#include "data/PhoneRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// `count` records in generation order (not sorted).
std::vector<PhoneRecord> GenerateRecords(std::size_t count, std::uint64_t seed);
