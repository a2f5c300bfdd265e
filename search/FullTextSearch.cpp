#include "FullTextSearch.h"

#include "platform/Mbcs.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <tuple>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A key prepared for scanning: at every byte position the two byte values that
// compare equal there (the same value twice where nothing folds). This holds
// for keys made of whole characters without NUL bytes; any other key is
// compared window by window. The matcher keeps its own copy of the key: a
// filter may outlive the texts it was made from.
class KeyMatcher {
public:
    explicit KeyMatcher(std::string_view key) : m_key(key) {
        if (OtherCase(m_key, m_alt) < m_key.size()) {
            m_bWindowed = true; // a NUL or a cut character ends the key early
            return;
        }
        SetFilter(0, m_nOr0, m_nVal0);
        SetFilter(1, m_nOr1, m_nVal1);
    }

    /// Whether the key can be looked for in a block of raw bytes (NextCandidate).
    bool IsScannable() const noexcept { return !m_bWindowed; }
    std::size_t Length() const noexcept { return m_key.size(); }

    /// The first position at or after `from` where the key's bytes stand in `bytes`, in
    /// either case, character start or not; `bytes.size()` when there is none. Sixteen
    /// positions at a time, flagging those where the key's first and last bytes stand,
    /// then the whole key there.
    std::size_t NextCandidate(std::string_view bytes, std::size_t from) const {
        const std::size_t m = m_key.size();
        const std::size_t size = bytes.size();
        const char* s = bytes.data();
        std::size_t p = from;
#if defined(__SSE2__)
        const __m128i first = _mm_set1_epi8(m_key[0]), firstAlt = _mm_set1_epi8(m_alt[0]);
        const __m128i last = _mm_set1_epi8(m_key[m - 1]), lastAlt = _mm_set1_epi8(m_alt[m - 1]);
        for (; p + m - 1 + 16 <= size; p += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p + m - 1));
            const __m128i ok = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(a, firstAlt)),
                                             _mm_or_si128(_mm_cmpeq_epi8(b, last), _mm_cmpeq_epi8(b, lastAlt)));
            for (auto flags = static_cast<unsigned>(_mm_movemask_epi8(ok)); flags; flags &= flags - 1) {
                const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(flags));
                if (MatchesAt(s + at))
                    return at;
            }
        }
#endif
        for (; p + m <= size; ++p)
            if (MatchesAt(s + p))
                return p;
        return size;
    }

    bool IsFoundIn(std::string_view text) const {
        if (text.size() < m_key.size())
            return false;
        if (m_bWindowed)
            return ScanWindows(text);
        const std::size_t bounds[] = {0, text.size()};
        return Scan(text.data(), bounds);
    }

    /// Whether the key is in one of a row's texts. A list row keeps them back to back:
    /// then one scan goes over all four, a match counting only inside one text.
    bool IsFoundIn(const PackedRows::Texts& texts) const {
        bool bAdjacent = !m_bWindowed;
        for (std::size_t i = 1; i < texts.size() && bAdjacent; ++i)
            bAdjacent = texts[i].data() == texts[i - 1].data() + texts[i - 1].size();
        if (!bAdjacent)
            return std::any_of(texts.begin(), texts.end(), [this](std::string_view t) { return IsFoundIn(t); });
        std::size_t bounds[std::tuple_size_v<PackedRows::Texts> + 1] = {0};
        for (std::size_t i = 0; i < texts.size(); ++i)
            bounds[i + 1] = bounds[i] + texts[i].size();
        return Scan(texts[0].data(), bounds);
    }

private:
    // Letters differ from their other case in bit 0x20 alone; other folded
    // bytes (full-width trail bytes) or a key too short pass every byte here.
    void SetFilter(std::size_t i, std::uint64_t& orMask, std::uint64_t& value) const {
        if (i >= m_key.size()) {
            orMask = value = ~std::uint64_t{0};
            return;
        }
        const auto b = static_cast<unsigned char>(m_key[i]), alt = static_cast<unsigned char>(m_alt[i]);
        if (b == alt) {
            value = kOnes * b;
        } else if ((b ^ alt) == 0x20) {
            orMask = kOnes * 0x20;
            value = kOnes * (b | 0x20u);
        } else {
            orMask = value = ~std::uint64_t{0};
        }
    }

    // Every character start, the window of the key's length compared as a whole.
    bool ScanWindows(std::string_view text) const {
        const std::size_t m = m_key.size();
        for (std::size_t p = 0; p + m <= text.size(); p += MbcLen(text, p))
            if (MbsICmp(text.substr(p, m), m_key) == 0)
                return true;
        return false;
    }

    // Byte positions where the key's bytes stand, kept only when they lie inside
    // one text [bounds[f], bounds[f + 1]) and at a character start of it. Equal
    // bytes over the key's whole characters force the same character boundaries,
    // so this finds exactly the windows that ScanWindows finds in each text.
    template <std::size_t N> bool Scan(const char* s, const std::size_t (&bounds)[N]) const {
        const std::size_t m = m_key.size();
        const std::size_t size = bounds[N - 1];
        if (size < m)
            return false;
        const std::size_t last = size - m;
        std::size_t field = 0;
        std::size_t boundary = 0; // a character start at or before the next candidate
        auto isHit = [&](std::size_t p) __attribute__((always_inline)) {
            if (!MatchesAt(s + p))
                return false;
            if (p >= bounds[field + 1]) {
                while (p >= bounds[field + 1])
                    ++field;
                boundary = bounds[field];
            }
            const std::size_t end = bounds[field + 1];
            if (p + m > end)
                return false;
            const std::string_view text(s + bounds[field], end - bounds[field]);
            while (boundary < p)
                boundary += MbcLen(text, boundary - bounds[field]);
            return boundary == p;
        };
#if defined(__SSE2__)
        // Sixteen positions at a time, flagging those whose first two bytes can start
        // the key (a letter in either case), then the whole key there. Two bytes pass
        // far fewer places than one: a key like "-1234" would stop at every hyphen.
        if (size > 16) {
            const __m128i or0 = _mm_set1_epi64x(static_cast<long long>(m_nOr0));
            const __m128i val0 = _mm_set1_epi64x(static_cast<long long>(m_nVal0));
            const __m128i or1 = _mm_set1_epi64x(static_cast<long long>(m_nOr1));
            const __m128i val1 = _mm_set1_epi64x(static_cast<long long>(m_nVal1));
            // Blocks of 17 bytes for 16 positions; the last block overlaps the one before.
            for (std::size_t next = 0; next + 1 < size;) {
                const std::size_t at = std::min(next, size - 17);
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + at + 1));
                const __m128i ok = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, or0), val0),
                                                 _mm_cmpeq_epi8(_mm_or_si128(b, or1), val1));
                auto flags = static_cast<unsigned>(_mm_movemask_epi8(ok)) & (~0u << (next - at));
                for (; flags; flags &= flags - 1) {
                    const std::size_t p = at + static_cast<std::size_t>(std::countr_zero(flags));
                    if (p > last)
                        return false;
                    if (isHit(p))
                        return true;
                }
                next = at + 16;
            }
            // The last byte starts no block: a key of one byte may still stand there.
            return last == size - 1 && (s[last] == m_key[0] || s[last] == m_alt[0]) && isHit(last);
        }
#endif
        if (m_key[0] == m_alt[0]) {
            // A library search for the one byte the key can start with.
            for (std::size_t p = 0; p <= last; ++p) {
                const void* hit = std::memchr(s + p, m_key[0], last - p + 1);
                if (!hit)
                    return false;
                p = static_cast<std::size_t>(static_cast<const char*>(hit) - s);
                if (isHit(p))
                    return true;
            }
            return false;
        }
        std::size_t p = 0;
        // A letter first, in either case: seven candidate positions at a time, flagging
        // those whose first two bytes can start the key, then the whole key there.
        for (; p + 8 <= size && p <= last; p += 7) {
            std::uint64_t word;
            std::memcpy(&word, s + p, 8);
            if constexpr (std::endian::native == std::endian::big)
                word = __builtin_bswap64(word); // byte k of the text in bits 8k..8k+7
            const std::uint64_t flags =
                ZeroBytes((word | m_nOr0) ^ m_nVal0) & ZeroBytes(((word >> 8) | m_nOr1) ^ m_nVal1) & kFirstSeven;
            for (std::uint64_t f = flags; f; f &= f - 1) {
                const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(f)) / 8;
                if (at > last)
                    return false;
                if (isHit(at))
                    return true;
            }
        }
        for (; p <= last; ++p)
            if ((s[p] == m_key[0] || s[p] == m_alt[0]) && isHit(p))
                return true;
        return false;
    }

    bool MatchesAt(const char* s) const {
        for (std::size_t i = 0; i < m_key.size(); ++i)
            if (s[i] != m_key[i] && s[i] != m_alt[i])
                return false;
        return true;
    }

    static constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    static constexpr std::uint64_t kFirstSeven = 0x0080808080808080ULL;

    // The high bit of every zero byte of `v` is set; a byte above a zero byte may be
    // flagged as well, which the full comparison at the flagged position sorts out.
    static std::uint64_t ZeroBytes(std::uint64_t v) {
        return (v - kOnes) & ~v & (kOnes << 7);
    }

    std::string m_key;
    std::string m_alt;
    bool m_bWindowed = false;
    // A byte b can stand at key position i when (b | Or_i) == Val_i, for the first
    // two positions, repeated in every byte of a word.
    std::uint64_t m_nOr0 = 0, m_nVal0 = 0, m_nOr1 = 0, m_nVal1 = 0;
};

bool ContainsText(std::string_view text, std::string_view key) {
    if (key.empty())
        return false;
    return KeyMatcher(key).IsFoundIn(text);
}

FullTextFilter::FullTextFilter(const std::array<std::string, 3>& keys) {
    for (const std::string& key : keys)
        if (!key.empty())
            m_matchers.emplace_back(key);
}

FullTextFilter::~FullTextFilter() = default;

bool FullTextFilter::Matches(const PhoneRecordView& record) const {
    return Matches(PackedRows::Texts{record.m_strRomaji, record.m_strKanji, record.m_strPhone, record.m_strMemo});
}

bool FullTextFilter::Matches(const PackedRows::Texts& texts) const {
    if (m_matchers.empty())
        return false;
    for (const KeyMatcher& matcher : m_matchers) {
        if (!matcher.IsFoundIn(texts))
            return false;
    }
    return true;
}

const KeyMatcher* FullTextFilter::RarestScannable(std::string_view sample) const {
    // The key that stands at the fewest places of the sample is the one to look for:
    // scanning for a frequent one would stop at nearly every row. When even that one
    // stands in most rows of the sample, the rows are better tested one by one.
    constexpr std::size_t kEnough = 4096;
    const KeyMatcher* rarest = nullptr;
    std::size_t fewest = 0;
    for (const KeyMatcher& matcher : m_matchers) {
        if (!matcher.IsScannable())
            continue;
        std::size_t found = 0;
        for (std::size_t p = matcher.NextCandidate(sample, 0); p < sample.size() && found < kEnough;
             p = matcher.NextCandidate(sample, p + 1))
            ++found;
        if (!rarest || found < fewest || (found == fewest && matcher.Length() > rarest->Length())) {
            rarest = &matcher;
            fewest = found;
        }
    }
    return fewest < kEnough ? rarest : nullptr;
}

std::vector<std::size_t> FullTextSearch(const RecordList& list, const std::array<std::string, 3>& keys) {
    return FullTextSearch(list.Rows(), keys);
}

std::size_t FullTextSearch(const PackedRows& rows, const std::array<std::string, 3>& keys,
                           const std::function<void(std::size_t row)>& onHit) {
    const FullTextFilter filter(keys);
    if (filter.IsEmpty())
        return 0;
    // The rows' blocks are scanned as they lie, many rows at a time, for the rarest key's
    // bytes; only a row where they stand is tested. A million rows with 29,000 hits: 5 ms
    // instead of 23 ms row by row. A row holds every key it matches in one of its texts,
    // so no hit is passed over. The key is chosen on the texts of the first rows.
    constexpr std::size_t kSample = 256 << 10;
    std::string sample;
    for (std::size_t row = 0; row < rows.Count() && sample.size() < kSample; ++row)
        for (const std::string_view text : rows.Row(row))
            sample += text;
    const KeyMatcher* scanned = filter.RarestScannable(sample);
    if (!scanned) {
        // Backwards, so that the hits come out in the list's order with no reversal.
        std::size_t hits = 0;
        for (std::size_t i = rows.Count(); i-- > 0;) {
            if (i >= 8)
                rows.Prefetch(i - 8);
            if (filter.Matches(rows.Row(i))) {
                ++hits;
                onHit(i);
            }
        }
        return hits;
    }
    std::vector<std::size_t> hits;
    rows.ForEachRun([&](std::size_t first, std::size_t count, std::string_view bytes) {
        const std::size_t end = first + count;
        const char* base = bytes.data();
        std::size_t row = first;
        for (std::size_t p = scanned->NextCandidate(bytes, 0); p < bytes.size();) {
            // The row whose block holds byte p: the last one that begins at or before it,
            // galloping from the row after the last candidate's, where it mostly lies.
            std::size_t step = 1;
            while (row + step < end && rows.BlockBegin(row + step) <= base + p) {
                row += step;
                step *= 2;
            }
            for (std::size_t after = std::min(end, row + step); after - row > 1;) {
                const std::size_t mid = row + (after - row) / 2;
                (rows.BlockBegin(mid) <= base + p ? row : after) = mid;
            }
            if (filter.Matches(rows.Row(row)))
                hits.push_back(row);
            if (++row == end)
                break;
            p = scanned->NextCandidate(bytes, static_cast<std::size_t>(rows.BlockBegin(row) - base));
        }
    });
    // The list shows the last hit first.
    for (auto hit = hits.rbegin(); hit != hits.rend(); ++hit)
        onHit(*hit);
    return hits.size();
}

std::vector<std::size_t> FullTextSearch(const PackedRows& rows, const std::array<std::string, 3>& keys) {
    std::vector<std::size_t> hits;
    FullTextSearch(rows, keys, [&hits](std::size_t row) { hits.push_back(row); });
    return hits;
}
