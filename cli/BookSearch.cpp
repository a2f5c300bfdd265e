#include "BookSearch.h"

#include "platform/Mbcs.h"
#include "view/NameSearch.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

NameSearchWalk::NameSearchWalk(std::string_view key, int maxHits, std::size_t count)
    : m_keyStore(key.substr(0, std::min(key.size(), kSearchKeyMax))),
      m_nLimit(maxHits > 0 ? static_cast<std::size_t>(maxHits) : count), m_nCount(count) {
    m_key = m_keyStore;
    if (m_key.empty())
        m_phase = Phase::Done; // an empty key lists nothing
}

void NameSearchWalk::Start(std::size_t first) {
    m_phase = Phase::Listing;
    m_nFirst = m_nEnd = first;
}

void NameSearchWalk::List(std::string_view name) {
    if (m_nEnd - m_nFirst >= m_nLimit) {
        m_phase = Phase::Done;
        return;
    }
    // From the start record on, while the match length does not drop.
    const std::size_t match = MatchLength(name, m_key);
    if (match == 0 || (m_nPrevMatch > 0 && match < m_nPrevMatch)) {
        m_phase = Phase::Done;
        return;
    }
    m_nPrevMatch = match;
    ++m_nEnd;
}

std::size_t NameSearchWalk::Next(std::string_view name) {
    const std::size_t i = m_nIndex++;
    if (m_phase == Phase::Listing) {
        List(name);
    } else if (m_phase == Phase::Finding) {
        if (i + 1 == m_nCount) {
            // The last record is always judged by itself.
            if (MatchLength(name, m_key) > 0) {
                Start(i);
                List(name);
            } else {
                m_phase = Phase::Done;
            }
            return m_nEnd;
        }
        const int cmp = CompareToKey(name, m_key);
        if (i == 0) {
            if (cmp >= 0 && MatchLength(name, m_key) > 0) {
                Start(0);
                List(name);
                return m_nEnd;
            }
        } else if (cmp >= 0 && m_nPrevCmp <= 0) {
            // The key sorts between the record before and this one: the tie goes to this one.
            const std::size_t mC = MatchLength(name, m_key);
            const std::size_t mP = MatchLength(m_strPrevName, m_key);
            if (mC > 0 && mC >= mP) {
                Start(i);
                List(name);
            } else if (mC < mP) {
                Start(i - 1);
                List(m_strPrevName);
                if (m_phase == Phase::Listing)
                    List(name);
            } else {
                m_phase = Phase::Done;
            }
            return m_nEnd;
        }
        m_nPrevCmp = cmp;
        m_strPrevName.assign(name);
    }
    return m_nEnd;
}

KeyCandidates::KeyCandidates(const std::array<std::string, 3>& keys, bool textLines) {
    // Every non-empty key must be found in a hit: the longest of them lets the fewest
    // places through.
    for (const std::string& key : keys) {
        if (key.size() <= m_key.size())
            continue;
        // A NUL or a cut character is compared window by window, and text lines hold no line bytes.
        std::string alt;
        const bool usable = OtherCase(key, alt) == key.size() &&
                            (!textLines || key.find_first_of("\r\n") == std::string_view::npos);
        if (usable) {
            m_key = key;
            m_alt = std::move(alt);
            m_bEverywhere = false;
        }
    }
}

bool KeyCandidates::Fits(const char* p) const {
    for (std::size_t i = 0; i < m_key.size(); ++i)
        if (p[i] != m_key[i] && p[i] != m_alt[i])
            return false;
    return true;
}

std::size_t KeyCandidates::Next(std::string_view bytes, std::size_t from) const {
    if (m_bEverywhere)
        return std::min(from, bytes.size());
    const std::size_t m = m_key.size();
    const std::size_t size = bytes.size();
    const char* s = bytes.data();
    std::size_t p = from;
#if defined(__SSE2__)
    // Sixteen positions at a time, flagging those where the key's first and last bytes
    // stand in either case, then the whole key there.
    const __m128i first = _mm_set1_epi8(m_key[0]), firstAlt = _mm_set1_epi8(m_alt[0]);
    const __m128i last = _mm_set1_epi8(m_key[m - 1]), lastAlt = _mm_set1_epi8(m_alt[m - 1]);
    for (; p + m - 1 + 16 <= size; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p + m - 1));
        const __m128i ok = _mm_and_si128(_mm_or_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(a, firstAlt)),
                                         _mm_or_si128(_mm_cmpeq_epi8(b, last), _mm_cmpeq_epi8(b, lastAlt)));
        for (auto flags = static_cast<unsigned>(_mm_movemask_epi8(ok)); flags; flags &= flags - 1) {
            const std::size_t at = p + static_cast<std::size_t>(std::countr_zero(flags));
            if (Fits(s + at))
                return at;
        }
    }
#endif
    for (; p + m <= size; ++p)
        if (Fits(s + p))
            return p;
    return size;
}
