#include "BookScan.h"

#include "MrlData.h"
#include "TextFormat.h"
#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "platform/PackedRows.h"
#include "platform/ShortBytes.h"

#include <QBuffer>
#include <QIODevice>
#include <array>
#include <bit>
#include <cerrno>
#include <new>
#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr char kCtrlZ = 0x1A;

// The bytes among the 64 from `p` on (all of them readable) that a text line treats
// apart, bit k for the byte at p + k.
struct LineBytes {
    std::uint64_t cr = 0, lf = 0;
    std::uint64_t other = 0; // commas and Ctrl-Zs
};

inline LineBytes LineBytesAt(const char* p) noexcept {
    LineBytes found;
#if defined(__SSE2__)
    const __m128i crs = _mm_set1_epi8('\r'), lfs = _mm_set1_epi8('\n'), commas = _mm_set1_epi8(','),
                  ctrlZs = _mm_set1_epi8(kCtrlZ);
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        const auto flags = [](__m128i hit) {
            return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(hit)));
        };
        found.cr |= flags(_mm_cmpeq_epi8(v, crs)) << (16 * k);
        found.lf |= flags(_mm_cmpeq_epi8(v, lfs)) << (16 * k);
        found.other |= flags(_mm_or_si128(_mm_cmpeq_epi8(v, commas), _mm_cmpeq_epi8(v, ctrlZs))) << (16 * k);
    }
#else
    for (int k = 0; k < 64; ++k) {
        const std::uint64_t bit = std::uint64_t{1} << k;
        found.cr |= p[k] == '\r' ? bit : 0;
        found.lf |= p[k] == '\n' ? bit : 0;
        found.other |= p[k] == ',' || p[k] == kCtrlZ ? bit : 0;
    }
#endif
    return found;
}

} // namespace

BookBytes::BookBytes(QIODevice& file) : BookBytes(file, Later::Read) {
    ReadIn();
}

BookBytes::BookBytes(QIODevice& file, Later) : m_file(file) {
    // A pipe's bytes were gathered when it was opened: they are used where they are.
    if (auto* buffer = qobject_cast<QBuffer*>(&file)) {
        m_gathered = buffer->data();
        m_view = std::string_view(m_gathered.constData(), static_cast<std::size_t>(m_gathered.size()));
        m_arrival.Arrived(m_view.size());
        m_arrival.End();
        return;
    }
    m_nExpected = static_cast<std::size_t>(std::max<qint64>(0, file.size() - file.pos()));
    if (m_nExpected == 0) {
        m_arrival.End();
        return;
    }
    // Memory straight from the system in large pages where it has them: a fresh page
    // costs a fault each, and the file's bytes are copied over all of them at once.
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    m_nBlockSize = (m_nExpected + kLargePage - 1) / kLargePage * kLargePage;
    m_pBlock = ::mmap(nullptr, m_nBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_pBlock == MAP_FAILED) {
        m_pBlock = nullptr;
        m_nBlockSize = 0;
        throw std::bad_alloc();
    }
#ifdef MADV_HUGEPAGE
    (void)::madvise(m_pBlock, m_nBlockSize, MADV_HUGEPAGE);
#endif
}

void BookBytes::ReadIn() {
    if (m_nBlockSize == 0)
        return; // gathered, or empty: there already
    struct EndArrival {
        ByteArrival& arrival;
        ~EndArrival() { arrival.End(); }
    } end{m_arrival};
    // In pieces, so that a reader waiting on the block starts on the first of them.
    constexpr std::size_t kPiece = std::size_t{2} << 20;
    char* block = static_cast<char*>(m_pBlock);
    std::size_t got = 0;
    while (got < m_nExpected) {
        errno = 0;
        const qint64 n = m_file.read(block + got, static_cast<qint64>(std::min(kPiece, m_nExpected - got)));
        if (n < 0)
            throw DeviceIoError("ファイルを読み込めません", m_file, errno);
        if (n == 0)
            break; // the file got shorter: its end is where reading stops
        got += static_cast<std::size_t>(n);
        m_arrival.Arrived(got);
    }
    m_view = std::string_view(block, got);
}

BookBytes::~BookBytes() {
    if (m_nBlockSize > 0)
        ::munmap(m_pBlock, m_nBlockSize);
}

std::string_view TextPart(std::string_view bytes) {
    // A Ctrl-Z ends the text: nothing after it is read.
    if (const void* z = std::memchr(bytes.data(), kCtrlZ, bytes.size()))
        return bytes.substr(0, static_cast<std::size_t>(static_cast<const char*>(z) - bytes.data()));
    return bytes;
}

std::size_t NextTextSpecial(std::string_view bytes, std::size_t from) {
    const char* s = bytes.data();
    const std::size_t size = bytes.size();
    std::size_t p = from;
#if defined(__SSE2__)
    const __m128i comma = _mm_set1_epi8(','), cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    const __m128i ctrlZ = _mm_set1_epi8(kCtrlZ);
    for (; p + 16 <= size; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, comma), _mm_cmpeq_epi8(v, cr)),
                                         _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, ctrlZ)));
        if (const auto flags = static_cast<unsigned>(_mm_movemask_epi8(hit)))
            return p + static_cast<std::size_t>(std::countr_zero(flags));
    }
#endif
    for (; p < size; ++p)
        if (s[p] == ',' || s[p] == '\r' || s[p] == '\n' || s[p] == kCtrlZ)
            return p;
    return size;
}

std::uint64_t PlainRecords::Flags(std::size_t from) const {
    const std::size_t size = m_bytes.size();
    if (from >= size)
        return 0;
    const char* s = m_bytes.data() + from;
    if (size - from >= 64) {
        const LineBytes found = LineBytesAt(s);
        return found.cr | found.lf | found.other;
    }
    std::uint64_t flags = 0;
    for (std::size_t k = 0; from + k < size; ++k)
        if (s[k] == ',' || s[k] == '\r' || s[k] == '\n' || s[k] == kCtrlZ)
            flags |= std::uint64_t{1} << k;
    return flags;
}

bool PlainRecords::IsPlain(const PhoneRecordView& record, std::size_t end, bool wide) {
    const std::size_t begin = m_nBegin;
    m_nBegin = end;
    if (wide)
        return false;
    const char* base = m_bytes.data() + begin;
    if (end - begin > 64) {
        // A long record, window by window.
        for (std::size_t from = begin; from < end; from += 64) {
            std::uint64_t flags = Flags(from);
            if (end - from < 64)
                flags &= (std::uint64_t{1} << (end - from)) - 1;
            // A line break's LF may open this window: it was seen with its CR.
            if (from > begin && (flags & 1) != 0 && m_bytes[from] == '\n' && m_bytes[from - 1] == '\r' &&
                m_bytes.data() + from - 1 > record.m_strMemo.data() &&
                m_bytes.data() + from < record.m_strMemo.data() + record.m_strMemo.size())
                flags &= ~std::uint64_t{1};
            if (!OnlyLengthsAndBreaks(record, m_bytes.data() + from, flags))
                return false;
        }
        return true;
    }
    // A record of 64 bytes at most lies within the two windows once the first one holds its start.
    if (begin - m_nWindow >= 64) {
        if (begin - m_nWindow < 128) {
            m_nWindow += 64;
            m_nFlags[0] = m_nFlags[1];
            m_nFlags[1] = Flags(m_nWindow + 64);
        } else {
            Slide(begin);
        }
    }
    const std::size_t shift = begin - m_nWindow, length = end - begin;
    std::uint64_t flags = m_nFlags[0] >> shift;
    if (shift > 0)
        flags |= m_nFlags[1] << (64 - shift);
    if (length < 64)
        flags &= (std::uint64_t{1} << length) - 1;
    if (flags == 0)
        return true;
    // Most often the only such bytes are lengths just before the fields.
    for (const std::string_view field : {record.m_strRomaji, record.m_strKanji, record.m_strPhone, record.m_strMemo})
        flags &= ~(std::uint64_t{1} << (static_cast<std::size_t>(field.data() - base - 1) & 63));
    return flags == 0 || OnlyLengthsAndBreaks(record, base, flags);
}

bool PlainRecords::OnlyLengthsAndBreaks(const PhoneRecordView& record, const char* from, std::uint64_t flags) {
    const std::string_view memo = record.m_strMemo;
    const char* memoEnd = memo.data() + memo.size();
    while (flags != 0) {
        const int at = std::countr_zero(flags);
        const char* p = from + at;
        flags &= flags - 1;
        if (p >= memo.data() && p < memoEnd) {
            // Only a line break inside the memo, neither at its start nor at its end.
            if (p == memo.data() || p + 2 >= memoEnd || p[0] != '\r' || p[1] != '\n')
                return false;
            if (at < 63)
                flags &= ~(std::uint64_t{2} << at); // its LF, unless that lies in the next window
            continue;
        }
        for (const std::string_view field : {record.m_strRomaji, record.m_strKanji, record.m_strPhone})
            if (p >= field.data() && p < field.data() + field.size())
                return false;
        // Else a byte of a length.
    }
    return true;
}

TextLineFields::TextLineFields(std::string_view line) {
    // A comma byte always ends a field (no code page 932 character holds one).
    std::size_t commas[3];
    std::size_t found = 0;
    for (std::size_t pos = line.find(','); pos != std::string_view::npos && found < 3; pos = line.find(',', pos + 1))
        commas[found++] = pos;
    if (found < 3) {
        // Fewer than four fields: the last one is the phone number.
        const std::size_t restAt = found == 0 ? 0 : commas[found - 1] + 1;
        if (found >= 1)
            romaji = line.substr(0, commas[0]);
        if (found == 2)
            kanji = line.substr(commas[0] + 1, commas[1] - commas[0] - 1);
        phone = line.substr(restAt);
        return;
    }
    romaji = line.substr(0, commas[0]);
    kanji = line.substr(commas[0] + 1, commas[1] - commas[0] - 1);
    phone = line.substr(commas[1] + 1, commas[2] - commas[1] - 1);
    // The memo's lines: empty ones before the first line with bytes are dropped, and so
    // is an empty last one (a comma at the end of the line).
    std::string_view memo = line.substr(commas[2] + 1);
    const std::size_t first = memo.find_first_not_of(',');
    if (first == std::string_view::npos)
        return;
    memo.remove_prefix(first);
    if (memo.back() == ',')
        memo.remove_suffix(1);
    memoText = memo;
    memoSize = memo.size() + static_cast<std::size_t>(std::count(memo.begin(), memo.end(), ','));
}

void TextLineFields::MemoInto(std::string& memo) const {
    memo.clear();
    memo.reserve(memoSize);
    std::size_t start = 0;
    for (std::size_t pos = memoText.find(','); pos != std::string_view::npos; pos = memoText.find(',', start)) {
        memo.append(memoText.substr(start, pos - start));
        memo.append("\r\n");
        start = pos + 1;
    }
    memo.append(memoText.substr(start));
}

void TextLineFields::CheckSizes() const {
    for (const std::size_t size : {romaji.size(), kanji.size(), phone.size(), memoSize})
        if (size > PackedRows::kMaxText)
            throw ArchiveError(ArchiveError::Kind::BadFormat, "4 GB を超える項目は読み込めません。");
}

int IsPlainShortRecord(std::string_view bytes, std::size_t begin, const std::array<std::uint8_t, 4>& lengths) noexcept {
    const std::size_t nameAt = begin + 1;
    const std::size_t kanjiLength = lengths[0], phoneLength = kanjiLength + 1 + lengths[1],
                      memoLength = phoneLength + 1 + lengths[2];
    const std::size_t size = memoLength + 1 + lengths[3];
    if (size > 64 || bytes.size() - nameAt < 64)
        return -1;
    const LineBytes found = LineBytesAt(bytes.data() + nameAt); // bit k: the byte at nameAt + k
    const std::uint64_t lengthBytes =
        (std::uint64_t{1} << kanjiLength) | (std::uint64_t{1} << phoneLength) | (std::uint64_t{1} << memoLength);
    const std::uint64_t fields = (size == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << size) - 1) & ~lengthBytes;
    const std::uint64_t cr = found.cr & fields, lf = found.lf & fields;
    if ((found.other & fields) != 0)
        return 0;
    if ((cr | lf) == 0)
        return 1;
    // Only line breaks inside the memo: a CR before each LF, neither opening nor closing it.
    const std::size_t memoAt = memoLength + 1;
    const std::uint64_t inner = size >= memoAt + 4 ? ((std::uint64_t{1} << (size - 2 - memoAt - 1)) - 1) << (memoAt + 1) : 0;
    return lf == cr << 1 && (cr & ~inner) == 0 ? 1 : 0;
}

std::size_t PutShortRecordLine(char* to, std::string_view bytes, std::size_t begin,
                               const std::array<std::uint8_t, 4>& lengths) noexcept {
    const std::size_t nameAt = begin + 1;
    // Where the lengths of the fields after the first lie, from the first field on.
    const std::size_t kanjiLength = lengths[0], phoneLength = kanjiLength + 1 + lengths[1],
                      memoLength = phoneLength + 1 + lengths[2];
    const std::size_t size = memoLength + (lengths[3] == 0 ? 0 : 1 + lengths[3]);
    const char* from = bytes.data() + nameAt;
    // The record's own bytes are looked at, not the line just stored over them (reading
    // those back would wait for the stores): no CR or LF but in its lengths, or in a
    // record of 64 bytes at most the memo's line breaks, CR LF each.
    std::uint64_t breaks = 0; // where those begin, bit k for the byte at `from` + k
    if (bytes.size() - nameAt >= size + 63) {
        for (std::size_t window = 0; window < size; window += 64) {
            const LineBytes found = LineBytesAt(from + window);
            std::uint64_t cr = found.cr, lf = found.lf;
            if (size - window < 64) {
                const std::uint64_t inRecord = (std::uint64_t{1} << (size - window)) - 1;
                cr &= inRecord;
                lf &= inRecord;
            }
            for (const std::size_t at : {kanjiLength, phoneLength, memoLength}) {
                if (at - window < 64) {
                    cr &= ~(std::uint64_t{1} << (at - window));
                    lf &= ~(std::uint64_t{1} << (at - window));
                }
            }
            if ((cr | lf) == 0)
                continue;
            const std::size_t memoAt = memoLength + 1;
            if (size > 64 || size - memoAt < 2 || lf != cr << 1 ||
                (cr & ~(((std::uint64_t{1} << (size - 1 - memoAt)) - 1) << memoAt)) != 0)
                return 0;
            breaks = cr;
        }
    } else {
        for (std::size_t i = 0; i < size; ++i)
            if ((from[i] == '\r' || from[i] == '\n') && i != kanjiLength && i != phoneLength && i != memoLength)
                return 0;
    }
    CopyShort(to, from, size);
    to[kanjiLength] = ',';
    to[phoneLength] = ',';
    if (lengths[3] != 0)
        to[memoLength] = ',';
    std::size_t put = size;
    if (breaks != 0) {
        // Each line break becomes a comma, and the bytes after it move up by one.
        // (The record is 64 bytes at most: each piece's length fits a byte.)
        put = static_cast<std::size_t>(std::countr_zero(breaks));
        std::size_t next = put;
        for (; breaks != 0; breaks &= breaks - 1) {
            const auto at = static_cast<std::size_t>(std::countr_zero(breaks));
            CopyShort(to + put, from + next, static_cast<std::uint8_t>(at - next));
            put += at - next;
            to[put++] = ',';
            next = at + 2;
        }
        CopyShort(to + put, from + next, static_cast<std::uint8_t>(size - next));
        put += size - next;
    }
    to[put] = '\r';
    to[put + 1] = '\n';
    return put + 2;
}

void AppendTextLine(std::string& out, const PhoneRecordView& record) {
    const std::string_view memo = record.m_strMemo;
    // Room for the longest the line can be, then the bytes put in place: the line breaks
    // of the memo only ever make it shorter.
    const std::size_t at = out.size();
    out.resize(at + record.m_strRomaji.size() + record.m_strKanji.size() + record.m_strPhone.size() + 2 +
               (memo.empty() ? 0 : 1 + memo.size()));
    char* p = out.data() + at;
    const auto put = [&p](std::string_view text) {
        CopyShort(p, text.data(), text.size());
        p += text.size();
    };
    put(record.m_strRomaji);
    *p++ = ',';
    put(record.m_strKanji);
    *p++ = ',';
    put(record.m_strPhone);
    if (!memo.empty()) {
        *p++ = ',';
        // Each memo line break becomes a field separator; a CR without its LF stays.
        std::size_t start = 0;
        for (std::size_t cr = memo.find("\r\n"); cr != std::string_view::npos; cr = memo.find("\r\n", start)) {
            put(memo.substr(start, cr - start));
            *p++ = ',';
            start = cr + 2;
        }
        put(memo.substr(start));
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

void AppendTextLine(std::string& out, const TextLineFields& fields) {
    out.append(fields.romaji);
    out += ',';
    out.append(fields.kanji);
    out += ',';
    out.append(fields.phone);
    if (fields.memoText.empty())
        return;
    out += ',';
    out.append(fields.memoText); // its commas are the memo's line breaks
}

namespace {

// Whether reading the record's text line gives the record back, decided on its bytes
// where they are plain: no comma, no LF but in the memo's line breaks, and no memo
// that begins or ends with a line break (reading drops those).
bool PlainlyReadsBack(const PhoneRecordView& record) {
    // (find_first_of would look each byte up in the set with a call of its own.)
    for (const std::string_view field : {record.m_strRomaji, record.m_strKanji, record.m_strPhone})
        if (NextTextSpecial(field, 0) != field.size())
            return false;
    const std::string_view memo = record.m_strMemo;
    if (memo.find(',') != std::string_view::npos || memo.starts_with("\r\n") || memo.ends_with("\r\n"))
        return false;
    for (std::size_t lf = memo.find('\n'); lf != std::string_view::npos; lf = memo.find('\n', lf + 1))
        if (lf == 0 || memo[lf - 1] != '\r')
            return false;
    return true;
}

} // namespace

void TextExportCheck::Add(const PhoneRecordView& record, bool plain) {
    if (plain) {
        AddPlain(record.m_strRomaji);
        return;
    }
    const std::size_t index = m_nCount++;
    if (m_nCutOffAt != SIZE_MAX)
        return; // reading stops before this one
    const std::pair<std::string_view, const char*> fields[] = {{record.m_strRomaji, "ローマ字名"},
                                                               {record.m_strKanji, "氏名"},
                                                               {record.m_strPhone, "電話番号"},
                                                               {record.m_strMemo, "メモ"}};
    for (const auto& [text, name] : fields) {
        if (text.find(kCtrlZ) != std::string_view::npos) {
            m_nCutOffAt = index;
            m_strCutOffName = record.m_strRomaji;
            m_pszCutOffField = name;
            return;
        }
    }
    if (!PlainlyReadsBack(record)) {
        record.CopyTo(m_scratch);
        const std::string line = FormatTextLine(m_scratch);
        bool same = line.find('\n') == std::string::npos;
        if (same) {
            m_back.m_strRomaji.clear();
            m_back.m_strKanji.clear();
            m_back.m_strPhone.clear();
            ParseTextLine(m_back, line);
            same = m_back == m_scratch;
        }
        if (!same && m_nChanged++ == 0)
            m_strFirstChanged = record.m_strRomaji;
    }
    if (index > 0 && !m_bReordered)
        m_bReordered = MbsCmp(m_prevName, record.m_strRomaji) > 0;
    m_strPrevName.assign(record.m_strRomaji);
    m_prevName = m_strPrevName;
}

TextExportLoss TextExportCheck::Result() const {
    TextExportLoss loss;
    if (m_nCutOffAt != SIZE_MAX) {
        loss.nCutOff = m_nCount - m_nCutOffAt;
        loss.strCutOffName = m_strCutOffName;
        loss.pszCutOffField = m_pszCutOffField;
    }
    loss.nChanged = m_nChanged;
    loss.strFirstChanged = m_strFirstChanged;
    loss.bReordered = m_bReordered;
    return loss;
}
