#include "NameSearch.h"

#include "platform/Mbcs.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

std::size_t Match(const RecordList& list, std::size_t i, std::string_view key) {
    return MatchLength(list[i].m_strRomaji, key);
}

// The record where the key sorts between P (before) and C: the tie goes to C.
std::size_t ChooseBetween(const RecordList& list, std::size_t c, std::size_t p, std::string_view key) {
    const std::size_t mC = Match(list, c, key);
    const std::size_t mP = Match(list, p, key);
    if (mC > 0 && mC >= mP)
        return c;
    if (mC < mP)
        return p;
    return kNone;
}

// The last record is always judged by itself.
std::size_t JudgeAlone(const RecordList& list, std::size_t i, std::string_view key) {
    return Match(list, i, key) > 0 ? i : kNone;
}

// How many records ahead of the one at hand a walk asks for.
constexpr std::size_t kAhead = 8;

// A record's four texts' sizes and places, and the texts kept outside it.
void PrefetchRecord(const PhoneRecord& record) {
    const char* bytes = reinterpret_cast<const char*>(&record);
    for (std::size_t line = 0; line < sizeof(PhoneRecord); line += 64)
        __builtin_prefetch(bytes + line);
    __builtin_prefetch(bytes + sizeof(PhoneRecord) - 1);
}

// MbsCmp(name, key), quicker where most names already differ from the key in
// their first byte: when both first bytes are whole single-byte characters,
// they decide.
int CompareToKey(std::string_view name, std::string_view key) {
    if (!name.empty()) {
        const auto a = static_cast<unsigned char>(name[0]), b = static_cast<unsigned char>(key[0]);
        if (a != b && a != 0 && b != 0 && !IsLeadByte(a) && !IsLeadByte(b))
            return a < b ? -1 : 1;
    }
    return MbsCmp(name, key);
}

// The walk from the head; right for any order.
std::size_t FindStartByWalk(const RecordList& list, std::string_view key) {
    const std::size_t count = list.GetCount();
    int prevCmp = 0; // the record before against the key
    for (std::size_t i = 0; i < count; ++i) {
        if (i + 1 == count)
            return JudgeAlone(list, i, key);
        // Records and their longer names lie scattered over the heap: ask for them ahead.
        if (i + 16 < count)
            __builtin_prefetch(&list[i + 16]);
        if (i + 8 < count)
            __builtin_prefetch(list[i + 8].m_strRomaji.data());
        const int cmp = CompareToKey(list[i].m_strRomaji, key);
        if (i == 0) {
            if (cmp >= 0 && Match(list, 0, key) > 0)
                return 0;
        } else if (cmp >= 0 && prevCmp <= 0) {
            return ChooseBetween(list, i, i - 1, key);
        }
        prevCmp = cmp;
    }
    return kNone;
}

// The same answer as the walk, for a list in ascending order: the walk stops at
// the first record that sorts at or after the key, which a binary search finds.
std::size_t FindStartSorted(const RecordList& list, std::string_view key) {
    const std::size_t count = list.GetCount();
    if (count == 0)
        return kNone;
    const auto lower = std::partition_point(list.begin(), list.end(), [key](const RecordList::Ptr& record) {
        return MbsCmp(record->m_strRomaji, key) < 0;
    });
    const auto first = static_cast<std::size_t>(lower - list.begin());
    // With first == 0 every name sorts at or after the key: the head is judged alone first. When
    // it shares nothing it sorts strictly after the key (a name equal to the key
    // shares its first byte), so no later record has a neighbour at or before the
    // key and only the last record can end the walk.
    if (first == 0 && Match(list, 0, key) > 0)
        return 0;
    if (first == 0 || first >= count - 1)
        return JudgeAlone(list, count - 1, key);
    return ChooseBetween(list, first, first - 1, key);
}

} // namespace

std::size_t MatchLength(std::string_view name, std::string_view key) {
    // Cuts within the common bytes are the same bytes and compare equal; past
    // them a difference may still hide behind a NUL byte or a lead byte at the
    // cut, so the comparison itself decides, usually at the first step.
    const std::size_t shorter = std::min(name.size(), key.size());
    std::size_t j = static_cast<std::size_t>(
        std::mismatch(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(shorter), name.begin()).first -
        key.begin());
    while (j < key.size() && MbsCmp(name.substr(0, j + 1), key.substr(0, j + 1)) == 0)
        ++j;
    return j;
}

std::size_t NameSearch(const RecordList& list, std::string_view key, int maxHits,
                       const std::function<void(const PhoneRecord&)>& onHit) {
    key = key.substr(0, std::min(key.size(), kSearchKeyMax));
    if (key.empty())
        return 0;
    const std::size_t start = list.IsSorted() ? FindStartSorted(list, key) : FindStartByWalk(list, key);
    if (start == kNone)
        return 0;

    const std::size_t limit = maxHits > 0 ? static_cast<std::size_t>(maxHits) : list.GetCount();
    std::size_t hits = 0;
    std::size_t prevMatch = 0;
    const std::size_t count = list.GetCount();
    for (std::size_t i = start; i < count && hits < limit; ++i) {
        // The walk waits on memory, not on work: ask for the records ahead.
        if (i + kAhead < count)
            PrefetchRecord(list[i + kAhead]);
        const std::size_t match = Match(list, i, key);
        if (match == 0 || (prevMatch > 0 && match < prevMatch))
            break;
        prevMatch = match;
        onHit(list[i]);
        ++hits;
    }
    return hits;
}

std::vector<const PhoneRecord*> NameSearch(const RecordList& list, std::string_view key, int maxHits) {
    std::vector<const PhoneRecord*> rows;
    NameSearch(list, key, maxHits, [&rows](const PhoneRecord& record) { rows.push_back(&record); });
    return rows;
}
