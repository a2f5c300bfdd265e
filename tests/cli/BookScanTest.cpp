// The command line's record-by-record readers and searches against the document's
// own: the same records, rows, lines and losses on random books. The document's
// code is the model throughout.

#include "cli/BookSearch.h"
#include "data/BookScan.h"
#include "data/MrlData.h"
#include "data/RecordList.h"
#include "data/TextFormat.h"
#include "platform/Archive.h"
#include "platform/Mbcs.h"
#include "platform/StdioFile.h"
#include "view/FullTextSearch.h"
#include "view/NameSearch.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Bytes that make the edge cases: letters of both cases, lead bytes, trail bytes,
// half-width katakana, NUL, and the bytes a text line treats apart.
constexpr char kAlphabet[] = {'a', 'b', 'A', 'T', '\x81', '\x82', '\x60', '\x81', '\xA0',
                              '\xB1', '\xE0', '\xFC', '\0', ',', '\r', '\n', '\x1A'};

std::string RandomText(std::mt19937& rng, std::size_t maxLength, std::size_t alphabetSize = sizeof kAlphabet) {
    std::string text(rng() % (maxLength + 1), '\0');
    for (char& c : text)
        c = kAlphabet[rng() % alphabetSize];
    return text;
}

// Names for searching: mostly letters, some odd bytes, often sharing beginnings.
std::string RandomName(std::mt19937& rng) {
    static const char* const kStems[] = {"ta", "tan", "tanaka", "TA", "\x82\xA0", "\x82", ""};
    std::string name = kStems[rng() % std::size(kStems)];
    name += RandomText(rng, 3, 13); // no line bytes in names here
    return name;
}

struct Archived {
    std::string bytes;
    std::vector<PhoneRecord> records;
};

// An archive whose strings take every length form, short ones written long too, and
// now and then the wide form.
Archived RandomArchive(std::mt19937& rng, std::size_t count) {
    Archived a;
    a.bytes = std::string("\xFF\xFF\x01\x00\x08\x00", 6) + "CMrlData";
    for (int i = 0; i < 4; ++i)
        a.bytes += static_cast<char>((count >> (8 * i)) & 0xFF);
    const auto le = [&](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            a.bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    for (std::size_t r = 0; r < count; ++r) {
        PhoneRecord record;
        for (std::string* field : {&record.m_strRomaji, &record.m_strKanji, &record.m_strPhone, &record.m_strMemo}) {
            const unsigned form = rng() % 10;
            if (form == 0) { // wide: ASCII and a kana in UTF-16
                const std::u16string wide = rng() % 2 ? u"ab" : u"\u30A2x";
                a.bytes += "\xFF\xFE\xFF";
                le(static_cast<std::uint32_t>(wide.size()), 1);
                for (const char16_t c : wide)
                    le(c, 2);
                *field = wide == u"ab" ? "ab" : "\x83\x41x";
                continue;
            }
            // Lengths on both sides of each step between the length forms.
            constexpr std::size_t kLong[] = {0xFE, 0xFF, 0x100, 0xFFFD, 0xFFFE};
            *field = rng() % 20 == 0 ? std::string(kLong[rng() % std::size(kLong)], 'z') : RandomText(rng, 6);
            if (field == &record.m_strMemo && rng() % 4 == 0)
                *field = RandomText(rng, 2, 12) + "\r\n" + RandomText(rng, 2, 12); // a memo of two lines
            const auto n = static_cast<std::uint32_t>(field->size());
            if (form == 1 && n < 0xFFFE) { // the word form, for a length that may have taken a byte
                a.bytes += '\xFF';
                le(n, 2);
            } else if (form == 2 || n >= 0xFFFE) {
                a.bytes += "\xFF\xFF\xFF";
                le(n, 4);
            } else if (n < 0xFF) {
                le(n, 1);
            } else {
                a.bytes += '\xFF';
                le(n, 2);
            }
            a.bytes += *field;
        }
        a.records.push_back(record);
    }
    return a;
}

// The records an open reads from `bytes`, or the message it fails with.
std::string LoadedByTheDocument(const std::string& bytes, std::vector<PhoneRecord>& records) {
    QBuffer buffer;
    buffer.setData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    buffer.open(QIODevice::ReadOnly);
    try {
        if (bytes.empty())
            return {};
        CArchive ar(buffer, CArchive::load);
        ar.ReadObjectHeader(CMrlData::kClassName, CMrlData::kSchema);
        StoredRecordReader reader(ar);
        PhoneRecord record;
        while (reader.Next(record))
            records.push_back(record);
    } catch (const ArchiveError& e) {
        return e.what();
    }
    return {};
}

std::string ReadByTheScan(const std::string& bytes, std::vector<PhoneRecord>& records, bool& asSaved) {
    try {
        ArchiveRecords reader(bytes);
        PhoneRecordView record;
        while (reader.Next(record))
            records.push_back(record.ToRecord());
        asSaved = reader.AsSaved();
    } catch (const ArchiveError& e) {
        return e.what();
    }
    return {};
}

// The same, the bytes arriving from another thread in pieces of `seed`'s sizes into a
// block that may be longer than the bytes turn out to be (a file cut while it is read).
std::string ReadAsItArrives(const std::string& bytes, unsigned seed, std::vector<PhoneRecord>& records) {
    std::string block(bytes.size() + seed % 3, '\x07');
    ByteArrival arrival;
    const std::jthread reader([&] {
        std::minstd_rand rng(seed);
        for (std::size_t got = 0; got < bytes.size();) {
            const std::size_t next = std::min(bytes.size(), got + 1 + rng() % 24);
            std::memcpy(block.data() + got, bytes.data() + got, next - got);
            arrival.Arrived(got = next);
        }
        arrival.End();
    });
    try {
        ArchiveRecords records_(block, &arrival);
        PhoneRecordView record;
        while (records_.Next(record))
            records.push_back(record.ToRecord());
    } catch (const ArchiveError& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(ArchiveRecords, ReadsWhatAnOpenReadsAndFailsWhereItFails) {
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        Archived a = RandomArchive(rng, rng() % 6);
        std::string bytes = a.bytes;
        switch (rng() % 6) {
        case 0: // cut anywhere, the header included
            bytes.resize(rng() % (bytes.size() + 1));
            break;
        case 1: // a byte changed anywhere
            bytes[rng() % bytes.size()] = static_cast<char>(rng());
            break;
        case 2: // a count the bytes cannot hold, or a negative one
            bytes[14 + rng() % 4] = static_cast<char>(rng() % 2 ? 0x7F : 0xFF);
            break;
        case 3: // bytes after the last record are not read
            bytes += "\x05tail";
            break;
        default:
            break;
        }
        std::vector<PhoneRecord> expected, got;
        bool asSaved = false;
        const std::string expectedError = LoadedByTheDocument(bytes, expected);
        const std::string error = ReadByTheScan(bytes, got, asSaved);
        ASSERT_EQ(error, expectedError) << "round " << round;
        ASSERT_EQ(got, expected) << "round " << round;
        got.clear();
        ASSERT_EQ(ReadAsItArrives(bytes, static_cast<unsigned>(rng()), got), expectedError) << "round " << round;
        ASSERT_EQ(got, expected) << "round " << round;
    }
}

TEST(ArchiveRecords, AsSavedOnlyForTheLengthFormsASaveWrites) {
    // Each field written with its shortest form reads as saved; a longer form or the
    // wide form does not, whatever its length.
    std::mt19937 rng(11);
    for (int round = 0; round < 1500; ++round) {
        const Archived a = RandomArchive(rng, 1 + rng() % 4);
        std::string saved;
        AppendArchiveHead(saved, a.records.size());
        for (const PhoneRecord& r : a.records)
            for (const std::string* f : {&r.m_strRomaji, &r.m_strKanji, &r.m_strPhone, &r.m_strMemo})
                AppendArchiveString(saved, *f);
        std::vector<PhoneRecord> got;
        bool asSaved = false;
        ASSERT_EQ(ReadByTheScan(a.bytes, got, asSaved), "");
        ASSERT_EQ(asSaved, a.bytes == saved) << "round " << round;
    }
}

TEST(TextLines, SplitAndParseAsTheDocumentReadsThem) {
    std::mt19937 rng(3);
    for (int round = 0; round < 3000; ++round) {
        const std::string bytes = RandomText(rng, 40);
        // The model: text-mode reading, then a record per line.
        QBuffer buffer;
        buffer.setData(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        buffer.open(QIODevice::ReadOnly);
        CStdioFile file(buffer);
        std::vector<PhoneRecord> expected;
        for (std::string line; file.ReadString(line);) {
            PhoneRecord record;
            ParseTextLine(record, line);
            expected.push_back(record);
        }
        std::vector<PhoneRecord> got;
        std::vector<std::string> lines;
        ForEachTextLine(TextPart(bytes), [&](std::string_view line) {
            const TextLineFields fields(line);
            std::string memo;
            fields.MemoInto(memo);
            EXPECT_EQ(fields.memoSize, memo.size());
            got.push_back(PhoneRecord{std::string(fields.romaji), std::string(fields.kanji),
                                      std::string(fields.phone), memo});
            std::string out;
            AppendTextLine(out, fields);
            lines.push_back(out);
        });
        ASSERT_EQ(got, expected) << "round " << round;
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(lines[i], FormatTextLine(got[i]));
            std::string fromRecord;
            AppendTextLine(fromRecord, PhoneRecordView(got[i]));
            ASSERT_EQ(fromRecord, FormatTextLine(got[i]));
        }
    }
}

TEST(ShortRecordLine, IsTheRecordsTextLineOrLeftToAppendTextLine) {
    // Fields across the 64-byte windows and of lengths that are CR or LF, memos of lines,
    // records near the end of the bytes and away from it.
    std::mt19937 rng(9);
    constexpr std::size_t kLengths[] = {0, 1, 7, 8, 9, 10, 13, 16, 17, 31, 33, 63, 64, 65, 0xFE};
    std::size_t breaksPut = 0;
    for (int round = 0; round < 20000; ++round) {
        PhoneRecord record;
        std::string bytes = RandomText(rng, 3);
        const std::size_t begin = bytes.size();
        std::array<std::uint8_t, 4> lengths{};
        std::size_t i = 0;
        for (std::string* field : {&record.m_strRomaji, &record.m_strKanji, &record.m_strPhone, &record.m_strMemo}) {
            field->resize(kLengths[rng() % (field == &record.m_strMemo ? 8 : std::size(kLengths))]);
            const std::size_t alphabet = rng() % 4 == 0 ? sizeof kAlphabet : 13; // line bytes now and then
            for (char& c : *field)
                c = kAlphabet[rng() % alphabet];
            if (field == &record.m_strMemo && rng() % 2 == 0) // its line breaks anywhere, at its ends too
                for (std::size_t breaks = 1 + rng() % 3; breaks > 0; --breaks)
                    field->insert(rng() % (field->size() + 1), "\r\n");
            lengths[i++] = static_cast<std::uint8_t>(field->size());
            bytes += static_cast<char>(field->size());
            bytes += *field;
        }
        bytes += RandomText(rng, rng() % 2 ? 80 : 2);
        std::string expected;
        AppendTextLine(expected, PhoneRecordView(record));
        char line[4 * 0xFF + 5];
        const std::size_t size = PutShortRecordLine(line, bytes, begin, lengths);
        const std::string fields = record.m_strRomaji + record.m_strKanji + record.m_strPhone + record.m_strMemo;
        if (size == 0) {
            ASSERT_NE(fields.find_first_of("\r\n"), std::string::npos) << "round " << round;
            continue;
        }
        ASSERT_EQ(std::string(line, size), expected + "\r\n") << "round " << round;
        breaksPut += record.m_strMemo.find('\r') != std::string::npos;
    }
    EXPECT_GT(breaksPut, 100u); // memos of lines were put too
}

TEST(TextExportCheck, FindsTheLossesAssessTextExportFinds) {
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        RecordList list;
        TextExportCheck check;
        std::deque<PhoneRecord> kept; // a plain record's name stays until the next one
        for (std::size_t n = rng() % 6; n > 0; --n) {
            PhoneRecord& record = kept.emplace_back(
                PhoneRecord{RandomText(rng, 3), RandomText(rng, 2), RandomText(rng, 2), RandomText(rng, 6)});
            if (rng() % 3 == 0) // sorted books too, where the order check has nothing to find
                record.m_strRomaji = std::string(1, static_cast<char>('a' + list.GetCount()));
            list.AddTail(record);
            bool plain = true;
            for (const std::string* f : {&record.m_strRomaji, &record.m_strKanji, &record.m_strPhone, &record.m_strMemo})
                plain = plain && NextTextSpecial(*f, 0) == f->size();
            check.Add(record, plain && rng() % 2 == 0); // plain records also through the long way
        }
        const TextExportLoss expected = AssessTextExport(list), got = check.Result();
        ASSERT_EQ(got.nCutOff, expected.nCutOff) << "round " << round;
        ASSERT_EQ(got.strCutOffName, expected.strCutOffName);
        ASSERT_EQ(got.pszCutOffField == nullptr, expected.pszCutOffField == nullptr);
        if (got.pszCutOffField) {
            ASSERT_STREQ(got.pszCutOffField, expected.pszCutOffField);
        }
        ASSERT_EQ(got.nChanged, expected.nChanged) << "round " << round;
        ASSERT_EQ(got.strFirstChanged, expected.strFirstChanged);
        ASSERT_EQ(got.bReordered, expected.bReordered) << "round " << round;
    }
}

TEST(NameSearchWalk, ListsTheRowsNameSearchLists) {
    std::mt19937 rng(13);
    for (int round = 0; round < 6000; ++round) {
        std::vector<std::string> names(rng() % 12);
        for (std::string& name : names)
            name = RandomName(rng);
        if (round % 2 == 0) // sorted books take the search's shortcuts
            std::stable_sort(names.begin(), names.end(),
                             [](const std::string& a, const std::string& b) { return MbsCmp(a, b) < 0; });
        RecordList list;
        for (const std::string& name : names)
            list.AddTail(PhoneRecord{name, "", "", ""});
        // Keys cut anywhere, mid-character included.
        std::string key = rng() % 3 ? RandomName(rng) : names.empty() ? "t" : names[rng() % names.size()];
        key.resize(rng() % (key.size() + 1));
        const int maxHits = static_cast<int>(rng() % 5) - 1;
        const RowRange expected = NameSearch(list, key, maxHits);

        NameSearchWalk walk(key, maxHits, names.size());
        std::size_t shown = 0;
        for (; shown < names.size() && walk.Wants(); ++shown) {
            const std::size_t end = walk.Next(names[shown]);
            // Rows end at most one past the record shown: each can be written as it comes.
            ASSERT_LE(end, shown + 1);
        }
        ASSERT_EQ(walk.Rows(), expected) << "round " << round << " key " << key;
    }
}

TEST(KeyCandidates, FindsEveryPlaceWhereAKeyStands) {
    std::mt19937 rng(17);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = RandomText(rng, 60, 8); // letters, lead and trail bytes
        std::array<std::string, 3> keys;
        keys[rng() % 3] = text.empty() || rng() % 4 == 0 ? RandomText(rng, 3, 8)
                                                          : text.substr(rng() % text.size(), 1 + rng() % 3);
        const KeyCandidates candidates(keys, false);
        const FullTextFilter filter(keys);
        // Every record that holds the key has a candidate in its bytes.
        for (std::size_t from = 0; from < text.size(); from += 1 + rng() % 20) {
            const std::size_t to = std::min(text.size(), from + rng() % 30);
            const std::string_view field = std::string_view(text).substr(from, to - from);
            if (filter.Matches(PhoneRecordView(field, "", "", ""))) {
                ASSERT_LT(candidates.Next(text, from), to) << "round " << round;
            }
        }
    }
}

// Plain by its definition: no comma, CR, LF or Ctrl-Z but the memo's inner line breaks.
bool PlainByDefinition(const PhoneRecord& record) {
    const auto clean = [](std::string_view text) { return text.find_first_of(",\r\n\x1A") == std::string_view::npos; };
    std::string memo = record.m_strMemo;
    for (std::size_t at = memo.find("\r\n", 1); at != std::string::npos && at + 2 < memo.size();
         at = memo.find("\r\n", at))
        memo.erase(at, 2);
    return clean(record.m_strRomaji) && clean(record.m_strKanji) && clean(record.m_strPhone) && clean(memo);
}

TEST(PlainRecords, AreTheRecordsWhoseLinesReadBackAsThemselves) {
    std::mt19937 rng(19);
    std::size_t plainSeen = 0, shortSeen = 0;
    for (int round = 0; round < 3000; ++round) {
        Archived a = RandomArchive(rng, 1 + rng() % 5);
        // Then records of any length, their memos' line breaks anywhere, windows of 64 bytes
        // and their edges included, as a save writes them.
        std::vector<PhoneRecord> more(rng() % 6);
        for (PhoneRecord& record : more) {
            record = {RandomText(rng, 6, 13), RandomText(rng, rng() % 4 ? 6 : 80), RandomText(rng, 6, 13), ""};
            for (std::size_t lines = rng() % 8; lines > 0; --lines)
                record.m_strMemo += RandomText(rng, 40, rng() % 4 ? 13 : sizeof kAlphabet) + "\r\n";
            record.m_strMemo.resize(record.m_strMemo.size() - (rng() % 3 == 0 ? 0 : std::min<std::size_t>(2, record.m_strMemo.size())));
        }
        for (const PhoneRecord& record : more) {
            for (const std::string* f : {&record.m_strRomaji, &record.m_strKanji, &record.m_strPhone, &record.m_strMemo})
                AppendArchiveString(a.bytes, *f);
            a.records.push_back(record);
        }
        const std::size_t count = a.records.size();
        for (int i = 0; i < 4; ++i)
            a.bytes[14 + i] = static_cast<char>((count >> (8 * i)) & 0xFF); // the count after the class name

        ArchiveRecords records(a.bytes);
        PlainRecords plain(a.bytes, records.RecordsBegin());
        PhoneRecordView view;
        for (std::size_t i = 0, begin = records.Offset(); records.Next(view); ++i, begin = records.Offset()) {
            const bool isPlain = plain.IsPlain(view, records.Offset(), records.LastWasWide());
            ASSERT_EQ(isPlain, !records.LastWasWide() && PlainByDefinition(a.records[i])) << "round " << round;
            // A record of a length byte before each field is told apart on its own too.
            const std::array<std::uint8_t, 4> lengths = {
                static_cast<std::uint8_t>(view.m_strRomaji.size()), static_cast<std::uint8_t>(view.m_strKanji.size()),
                static_cast<std::uint8_t>(view.m_strPhone.size()), static_cast<std::uint8_t>(view.m_strMemo.size())};
            if (!records.LastWasWide() && records.Offset() - begin == 4u + lengths[0] + lengths[1] + lengths[2] + lengths[3] &&
                view.m_strRomaji.size() < 0xFF && view.m_strKanji.size() < 0xFF && view.m_strPhone.size() < 0xFF &&
                view.m_strMemo.size() < 0xFF) {
                const int shortPlain = IsPlainShortRecord(a.bytes, begin, lengths);
                if (shortPlain >= 0) {
                    ++shortSeen;
                    ASSERT_EQ(shortPlain == 1, isPlain) << "round " << round;
                }
            }
            if (!isPlain)
                continue;
            ++plainSeen;
            const PhoneRecord record = view.ToRecord();
            const std::string line = FormatTextLine(record);
            ASSERT_EQ(line.find_first_of("\n\x1A"), std::string::npos) << "round " << round;
            PhoneRecord back;
            ParseTextLine(back, line);
            ASSERT_EQ(back, record) << "round " << round;
        }
    }
    EXPECT_GT(plainSeen, 1000u); // the test looked at plain records, memos with line breaks among them
    EXPECT_GT(shortSeen, 3000u);
}
