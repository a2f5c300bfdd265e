#include "NameSearch.h"

#include "platform/Mbcs.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// How many rows ahead of the one at hand a walk asks for.
constexpr std::size_t kAhead = 8;

// The names in the first cells of packed rows.
class PackedNames {
public:
    PackedNames(const PackedRows& rows, bool sorted) : m_rows(rows), m_bSorted(sorted) {}
    std::size_t Count() const { return m_rows.Count(); }
    std::string_view Name(std::size_t i) const { return m_rows.Text(i, 0); }
    bool IsSorted() const { return m_bSorted; }
    void Prefetch(std::size_t i) const {
        if (i + kAhead < Count())
            m_rows.Prefetch(i + kAhead);
    }

private:
    const PackedRows& m_rows;
    bool m_bSorted;
};

template <class Names>
std::size_t Match(const Names& names, std::size_t i, std::string_view key) {
    return MatchLength(names.Name(i), key);
}

// The record where the key sorts between P (before) and C: the tie goes to C.
template <class Names>
std::size_t ChooseBetween(const Names& names, std::size_t c, std::size_t p, std::string_view key) {
    const std::size_t mC = Match(names, c, key);
    const std::size_t mP = Match(names, p, key);
    if (mC > 0 && mC >= mP)
        return c;
    if (mC < mP)
        return p;
    return kNone;
}

// The last record is always judged by itself.
template <class Names>
std::size_t JudgeAlone(const Names& names, std::size_t i, std::string_view key) {
    return Match(names, i, key) > 0 ? i : kNone;
}

// The walk from the head; right for any order.
template <class Names>
std::size_t FindStartByWalk(const Names& names, std::string_view key) {
    const std::size_t count = names.Count();
    int prevCmp = 0; // the record before against the key
    for (std::size_t i = 0; i < count; ++i) {
        if (i + 1 == count)
            return JudgeAlone(names, i, key);
        names.Prefetch(i);
        const int cmp = CompareToKey(names.Name(i), key);
        if (i == 0) {
            if (cmp >= 0 && Match(names, 0, key) > 0)
                return 0;
        } else if (cmp >= 0 && prevCmp <= 0) {
            return ChooseBetween(names, i, i - 1, key);
        }
        prevCmp = cmp;
    }
    return kNone;
}

// The same answer as the walk, for a list in ascending order: the walk stops at
// the first record that sorts at or after the key, which a binary search finds.
template <class Names>
std::size_t FindStartSorted(const Names& names, std::string_view key) {
    const std::size_t count = names.Count();
    if (count == 0)
        return kNone;
    std::size_t first = 0; // the first name that does not sort before the key
    for (std::size_t n = count; n > 0;) {
        const std::size_t half = n / 2;
        if (MbsCmp(names.Name(first + half), key) < 0) {
            first += half + 1;
            n -= half + 1;
        } else {
            n = half;
        }
    }
    // With first == 0 every name sorts at or after the key: the head is judged alone first. When
    // it shares nothing it sorts strictly after the key (a name equal to the key
    // shares its first byte), so no later record has a neighbour at or before the
    // key and only the last record can end the walk.
    if (first == 0 && Match(names, 0, key) > 0)
        return 0;
    if (first == 0 || first >= count - 1)
        return JudgeAlone(names, count - 1, key);
    return ChooseBetween(names, first, first - 1, key);
}

// Whether the key is whole characters without a NUL byte: then a name matches its
// whole length exactly when it begins with its bytes.
bool IsWholeCharacters(std::string_view key) {
    for (std::size_t pos = 0; pos < key.size(); pos += MbcLen(key, pos)) {
        const auto b = static_cast<unsigned char>(key[pos]);
        if (b == 0 || (IsLeadByte(b) && (pos + 1 == key.size() || key[pos + 1] == '\0')))
            return false;
    }
    return true;
}

// The first row in (start, stop) whose name does not begin with the key, or stop;
// the rows that do begin with it lie together from start on. Galloping keeps the
// probes near the start, where short runs end.
template <class Names>
std::size_t EndOfKeyRun(const Names& names, std::size_t start, std::size_t stop, std::string_view key) {
    std::size_t in = start; // begins with the key
    std::size_t step = 1;
    while (step < stop - in && names.Name(in + step).starts_with(key)) {
        in += step;
        step *= 2;
    }
    std::size_t out = std::min(stop, in + step); // does not, or is the stop
    while (out - in > 1) {
        const std::size_t mid = in + (out - in) / 2;
        (names.Name(mid).starts_with(key) ? in : out) = mid;
    }
    return out;
}

// The rows the search lists: consecutive records from the start record on, while
// the match length does not drop.
template <class Names>
RowRange Search(const Names& names, std::string_view key, int maxHits) {
    key = key.substr(0, std::min(key.size(), kSearchKeyMax));
    if (key.empty())
        return {};
    const bool sorted = names.IsSorted();
    const std::size_t start = sorted ? FindStartSorted(names, key) : FindStartByWalk(names, key);
    if (start == kNone)
        return {};
    const std::size_t count = names.Count();
    const std::size_t limit = maxHits > 0 ? static_cast<std::size_t>(maxHits) : count;
    // The key typed is most often the beginning of the start record's name. On a sorted
    // list every name that begins with the same whole characters lies next to it, and
    // the walk below goes exactly to the end of them (their match length is the whole
    // key, which no name exceeds): a keystroke that lists 190,000 rows finds their end
    // by halving instead of reading every name.
    if (sorted && names.Name(start).starts_with(key) && IsWholeCharacters(key))
        return {start, EndOfKeyRun(names, start, start + std::min(limit, count - start), key) - start};
    std::size_t prevMatch = 0;
    std::size_t end = start;
    for (; end < count && end - start < limit; ++end) {
        names.Prefetch(end);
        const std::size_t match = Match(names, end, key);
        if (match == 0 || (prevMatch > 0 && match < prevMatch))
            break;
        prevMatch = match;
    }
    return {start, end - start};
}

} // namespace

int CompareToKey(std::string_view name, std::string_view key) {
    if (!name.empty()) {
        const auto a = static_cast<unsigned char>(name[0]), b = static_cast<unsigned char>(key[0]);
        if (a != b && a != 0 && b != 0 && !IsLeadByte(a) && !IsLeadByte(b))
            return a < b ? -1 : 1;
    }
    return MbsCmp(name, key);
}

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

RowRange NameSearch(const RecordList& list, std::string_view key, int maxHits) {
    return NameSearch(list.Rows(), list.IsSorted(), key, maxHits);
}

RowRange NameSearch(const PackedRows& rows, bool sorted, std::string_view key, int maxHits) {
    return Search(PackedNames(rows, sorted), key, maxHits);
}
