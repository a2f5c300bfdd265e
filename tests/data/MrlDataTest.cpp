#include "data/MrlData.h"
#include "../TestUtil.h"
#include "data/MarloDoc.h"
#include "platform/Archive.h"
#include "platform/FileSystem.h"
#include "platform/Mbcs.h"

#include <QBuffer>
#include <QFile>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

PhoneRecord Rec(std::string romaji, std::string kanji = "", std::string phone = "", std::string memo = "") {
    return PhoneRecord{std::move(romaji), std::move(kanji), std::move(phone), std::move(memo)};
}

std::vector<std::string> Names(const CMrlData& data) {
    std::vector<std::string> names;
    for (const PhoneRecordView r : data.m_list)
        names.push_back(std::string(r.m_strRomaji) + (r.m_strKanji.empty() ? "" : "/" + std::string(r.m_strKanji)));
    return names;
}

// Reads a phone-book file the plain way, field after field: the model of an open.
std::unique_ptr<CMrlData> Load(const std::string& file) {
    auto data = std::make_unique<CMrlData>();
    for (const PhoneRecord& record : ReadArchiveModel(file))
        data->m_list.AddTail(record);
    return data;
}

const char kHeader[] = "FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61";

// Reads a phone-book file as an open does: straight from its bytes.
std::unique_ptr<CMrlData> LoadFile(const std::string& file) {
    QByteArray bytes = QByteArray::fromStdString(file);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    auto data = std::make_unique<CMrlData>();
    data->LoadFile(buffer);
    return data;
}

// The outcome of a load: the records and whether they are in order, or the error.
std::string Outcome(const std::function<std::unique_ptr<CMrlData>()>& load) {
    try {
        const auto data = load();
        std::string out = data->m_list.IsSorted() ? "sorted:" : "unsorted:";
        for (const PhoneRecordView r : data->m_list)
            for (std::string_view field : {r.m_strRomaji, r.m_strKanji, r.m_strPhone, r.m_strMemo})
                out += ToHex(field) + "|";
        return out;
    } catch (const ArchiveError& e) {
        return "error " + std::to_string(static_cast<int>(e.kind())) + ": " + e.what();
    }
}

} // namespace

// An open reads the bytes in place; the plain reader of the tests is its model. Records whose strings take every stored form (the length in one, three or
// seven bytes, wide strings of characters code page 932 holds and of one it does not),
// counts that fall short or run over, and each file cut at random places, must load
// to the same records in the same order, or fail with the same error.
TEST(PhoneBookFile, LoadFileReadsAsThePlainReaderDoes) {
    std::mt19937 random(1208);
    const std::string names[] = {"abe", "sato", "Sato", "", std::string("a\0b", 3), "\x82\xA0"};
    auto narrow = [&](std::string text, int form) {
        std::string out;
        if (form == 0 && text.size() < 255)
            return std::string(1, static_cast<char>(text.size())) + text;
        const auto n = static_cast<std::uint32_t>(text.size());
        if (form == 1 && n < 0xFFFE)
            out = Hex("FF") + std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)};
        else
            out = Hex("FF FF FF") + std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                                                static_cast<char>(n >> 16), static_cast<char>(n >> 24)};
        return out + text;
    };
    auto wide = [&](bool convertible) {
        // "a", あ (U+3042) and, when not convertible, U+00E9.
        std::string units = Hex("61 00 42 30");
        if (!convertible)
            units += Hex("E9 00");
        return Hex("FF FE FF") + std::string(1, static_cast<char>(units.size() / 2)) + units;
    };
    auto field = [&](const std::string& text) {
        switch (random() % 12) {
        case 0:
            return narrow(text, 1);
        case 1:
            return narrow(text, 2);
        case 2:
            return wide(random() % 8 != 0);
        case 3:
            return narrow(text + std::string(300, 'x'), 0); // past the one-byte form
        default:
            return narrow(text, 0);
        }
    };
    for (int book = 0; book < 300; ++book) {
        const int records = static_cast<int>(random() % 12);
        std::string body;
        for (int i = 0; i < records; ++i) {
            body += field(names[random() % std::size(names)]);
            for (int k = 1; k < 4; ++k)
                body += field(random() % 2 ? "" : std::to_string(random() % 1000));
        }
        int count = records;
        if (book % 5 == 0)
            count += static_cast<int>(random() % 3) - 1;
        if (book % 17 == 0)
            count = -count;
        const auto c = static_cast<std::uint32_t>(count);
        std::string file = Hex(kHeader) + std::string{static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF),
                                                      static_cast<char>((c >> 16) & 0xFF), static_cast<char>(c >> 24)};
        file += body;
        if (book % 3 == 0)
            file += "trailing bytes";
        for (int cut = 0; cut < 6; ++cut) {
            // Not cut to nothing: the document takes an empty file for an empty book before reading.
            const std::string bytes = cut == 0 ? file : file.substr(0, 1 + random() % file.size());
            ASSERT_EQ(Outcome([&] { return LoadFile(bytes); }), Outcome([&] { return Load(bytes); }))
                << "book " << book << " cut " << cut << ": " << ToHex(bytes);
        }
    }
}

// A file that loses its bytes after its size was taken gives none to read: it ends
// before its header. Only a file whose size says empty holds an empty book.
TEST(PhoneBookFile, AFileEmptiedWhileOpenEndsBeforeItsHeader) {
    class Emptied : public QIODevice {
    public:
        Emptied() { open(QIODevice::ReadOnly); }
        qint64 size() const override { return 18; }

    protected:
        qint64 readData(char*, qint64) override { return 0; }
        qint64 writeData(const char*, qint64) override { return -1; }
    };
    const std::string outcome = Outcome([] {
        Emptied file;
        auto data = std::make_unique<CMrlData>();
        data->LoadFile(file);
        return data;
    });
    EXPECT_EQ(outcome, Outcome([] { return Load(Hex(kHeader).substr(0, 1)); }));
}

TEST(PhoneBookFile, EmptyPhoneBook) {
    CMrlData empty;
    EXPECT_EQ(ToHex(StoreArchive(empty)), "FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00");
    EXPECT_TRUE(LoadFile(Hex("FF FF 01 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00"))->m_list.IsEmpty());
}

TEST(PhoneBookFile, OneRecord) {
    CMrlData data;
    data.m_list.AddTail(Rec("a"));
    const std::string expected = Hex(std::string(kHeader) + " 01 00 00 00 01 61 00 00 00");
    EXPECT_EQ(ToHex(StoreArchive(data)), ToHex(expected));
    const auto loaded = LoadFile(expected);
    ASSERT_EQ(loaded->m_list.GetCount(), 1u);
    EXPECT_EQ(loaded->m_list[0], (PhoneRecord{"a", "", "", ""}));
}

TEST(PhoneBookFile, FieldOrderAndBytesKept) {
    CMrlData data;
    data.m_list.AddTail(Rec("yamada", "\x8E\x52\x93\x63", "012", "x\r\ny"));
    data.m_list.AddTail(Rec("abe", std::string("\0\x80", 2), "", "\r"));
    const std::string bytes = StoreArchive(data);
    EXPECT_EQ(ToHex(bytes),
              ToHex(Hex(std::string(kHeader) + " 02 00 00 00"
                                               " 06 79 61 6D 61 64 61 04 8E 52 93 63 03 30 31 32 04 78 0D 0A 79"
                                               " 03 61 62 65 02 00 80 00 01 0D")));
    // Loading appends in stored order: no sorting.
    const auto loaded = LoadFile(bytes);
    ASSERT_EQ(loaded->m_list.GetCount(), 2u);
    EXPECT_EQ(loaded->m_list[0], data.m_list[0]);
    EXPECT_EQ(loaded->m_list[1], data.m_list[1]);
    EXPECT_FALSE(loaded->m_list.IsSorted());
}

// Whether a loaded book is in order is learnt while reading it; the search
// trusts that answer, so it must match a full check of the loaded list.
TEST(PhoneBookFile, OrderLearntWhileLoadingMatchesTheList) {
    std::mt19937 random(11);
    // Names that compare subtly: equal ones, case, a double-byte name, a NUL.
    const std::string names[] = {"a", "ab", "B", "b", std::string("a\0z", 3), "\x82\xA0", "\x82\xA0" "a", "sato"};
    for (int round = 0; round < 300; ++round) {
        CMrlData data;
        const std::size_t count = random() % 6;
        for (std::size_t i = 0; i < count; ++i)
            data.m_list.AddTail(Rec(names[random() % std::size(names)]));
        const auto loaded = LoadFile(StoreArchive(data));
        bool sorted = true;
        for (std::size_t i = 1; i < count; ++i)
            sorted = sorted && MbsCmp(loaded->m_list[i - 1].m_strRomaji, loaded->m_list[i].m_strRomaji) <= 0;
        ASSERT_EQ(loaded->m_list.IsSorted(), sorted) << "round " << round;
        // The answer keeps up with later changes.
        loaded->m_list.AddHead(Rec("\xFC\xFC")); // after every name above
        ASSERT_EQ(loaded->m_list.IsSorted(), count == 0) << "round " << round;
    }
}

TEST(PhoneBookFile, CountsZeroOrNegativeLoadEmpty) {
    for (const char* count : {"00 00 00 00", "FF FF FF FF", "00 00 00 80"}) {
        // Whatever follows the count is not read.
        const auto data = LoadFile(Hex(std::string(kHeader) + " " + count + " 01 61 00 00 00"));
        EXPECT_TRUE(data->m_list.IsEmpty()) << count;
    }
}

TEST(PhoneBookFile, BytesAfterTheLastRecordAreIgnored) {
    const auto data = LoadFile(Hex(std::string(kHeader) + " 01 00 00 00 01 61 00 00 00 DE AD BE EF"));
    EXPECT_EQ(data->m_list.GetCount(), 1u);
}

// A record costs its fields and a few bytes besides, not an object of its own (four
// strings and a pointer to them took 136 bytes): a file of empty records, four bytes
// each, is held in a small multiple of its size.
TEST(PhoneBookFile, EmptyRecordsTakeAFewBytesEach) {
    constexpr std::size_t kCount = 100000;
    std::string file = Hex(std::string(kHeader) + " A0 86 01 00"); // 100000
    file.append(4 * kCount, '\0');
    const auto data = LoadFile(file);
    ASSERT_EQ(data->m_list.GetCount(), kCount);
    EXPECT_EQ(data->m_list[kCount - 1], PhoneRecord{});
    EXPECT_LE(data->m_list.MemoryBytes(), 4 * file.size());
}

// A file whose records need more memory than the system has left fails before a
// record is read, as out of memory, instead of the system stopping the program
// half-way through: the most records a file can count, with enough zero bytes
// after them (a sparse file, no disk taken) for their fields to need it all.
TEST(PhoneBookFile, BookBeyondTheMemoryLeftFailsBeforeItsRecordsAreRead) {
    const std::uint64_t available = AvailableMemory();
    if (available == std::numeric_limits<std::uint64_t>::max())
        GTEST_SKIP() << "the system does not tell how much memory is left";
    TempWorkDir dir;
    const std::string path = dir.Path("huge.mrl");
    const std::string head = Hex(std::string(kHeader) + " FF FF FF 7F");
    const std::uint64_t records = 4ull * std::numeric_limits<std::int32_t>::max();
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(head.data(), static_cast<qint64>(head.size())), static_cast<qint64>(head.size()));
        if (!file.resize(static_cast<qint64>(head.size() + records + available)))
            GTEST_SKIP() << "the file system holds no file this big: " << file.errorString().toStdString();
    }
    RecordingReporter reporter;
    CMarloDoc doc;
    doc.SetReporter(&reporter);
    EXPECT_FALSE(doc.OnOpenDocument(path));
    ASSERT_EQ(reporter.errors.size(), 1u);
    EXPECT_NE(reporter.errors[0].find("メモリが足りません"), std::string::npos) << reporter.errors[0];
}

TEST(PhoneBookFile, MalformedFilesAreRejected) {
    using Kind = ArchiveError::Kind;
    const struct {
        const char* what;
        std::string bytes;
        Kind kind;
    } cases[] = {
        {"null-object tag", Hex("00 00 01 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00"), Kind::BadFormat},
        {"other tag", Hex("FE FF 01 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00"), Kind::BadFormat},
        {"text file", "yamada,\x8E\x52\x93\x63,012\r\n", Kind::BadFormat},
        {"schema 2", Hex("FF FF 02 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00"), Kind::BadFormat},
        {"schema 0", Hex("FF FF 00 00 08 00 43 4D 72 6C 44 61 74 61 00 00 00 00"), Kind::BadFormat},
        {"class name case", Hex("FF FF 01 00 08 00 43 4D 52 4C 44 61 74 61 00 00 00 00"), Kind::BadFormat},
        {"class name other", Hex("FF FF 01 00 07 00 43 4D 72 6C 44 61 74 00 00 00 00"), Kind::BadFormat},
        {"class name length 64", Hex("FF FF 01 00 40 00") + std::string(64, 'C') + Hex("00 00 00 00"), Kind::BadFormat},
        {"class name length 65535", Hex("FF FF 01 00 FF FF 43 4D"), Kind::BadFormat},
        {"one byte", Hex("FF"), Kind::EndOfFile},
        {"short header", Hex("FF FF 01 00 08 00 43 4D 72"), Kind::EndOfFile},
        {"no count", Hex(kHeader), Kind::EndOfFile},
        {"short count", Hex(std::string(kHeader) + " 01 00"), Kind::EndOfFile},
        {"count above records", Hex(std::string(kHeader) + " 02 00 00 00 01 61 00 00 00"), Kind::EndOfFile},
        {"record cut short", Hex(std::string(kHeader) + " 01 00 00 00 01 61 00 00"), Kind::EndOfFile},
        {"huge count", Hex(std::string(kHeader) + " 00 94 35 77 01 61 00 00 00 01 62 00 00"), Kind::EndOfFile},
        {"huge string length", Hex(std::string(kHeader) + " 01 00 00 00 FF FF FF FF FF FF 7F 61"), Kind::EndOfFile},
        {"string past the end", Hex(std::string(kHeader) + " 01 00 00 00 FF FD FF 61 62"), Kind::EndOfFile},
    };
    for (const auto& c : cases) {
        try {
            LoadFile(c.bytes);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const ArchiveError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.what << ": " << e.what();
            EXPECT_STRNE(e.what(), "") << c.what;
        }
    }
}

TEST(InsertSorted, AloneOrAmongOthers) {
    CMrlData data;
    data.AddSorted(Rec("abe", "1"));
    EXPECT_EQ(Names(data), (std::vector<std::string>{"abe/1"}));
    data.AddSorted(Rec("ito"));
    data.AddSorted(Rec("abe", "2"));
    data.AddSorted(Rec("abe", "3")); // after every equal name, before ito
    EXPECT_EQ(Names(data), (std::vector<std::string>{"abe/1", "abe/2", "abe/3", "ito"}));
    data.AddSorted(Rec("zz"));  // greater than all: the end
    data.AddSorted(Rec(""));    // the empty name sorts first
    data.AddSorted(Rec("Abe")); // capitals before lower case
    EXPECT_EQ(Names(data), (std::vector<std::string>{"", "Abe", "abe/1", "abe/2", "abe/3", "ito", "zz"}));
    EXPECT_TRUE(data.m_list.IsSorted());
}

TEST(InsertSorted, DoubleByteNamesSortAsCharacters) {
    CMrlData data;
    data.AddSorted(Rec("\x82\xA0"));
    data.AddSorted(Rec("\xB1"));
    data.AddSorted(Rec("b"));
    EXPECT_EQ(data.m_list[0].m_strRomaji, "b");
    EXPECT_EQ(data.m_list[1].m_strRomaji, "\xB1");
    EXPECT_EQ(data.m_list[2].m_strRomaji, "\x82\xA0");
}

TEST(InsertSorted, OnAnUnsortedListStopsAtTheFirstGreaterName) {
    // A phone book loaded as stored need not be sorted; the new record goes
    // before the first strictly greater name, wherever that is.
    CMrlData data;
    for (const char* n : {"c", "m", "a"})
        data.m_list.AddTail(Rec(n));
    data.AddSorted(Rec("d"));
    EXPECT_EQ(Names(data), (std::vector<std::string>{"c", "d", "m", "a"}));
    data.AddSorted(Rec("b")); // "c" already is greater: b stays at the head
    EXPECT_EQ(Names(data), (std::vector<std::string>{"b", "c", "d", "m", "a"}));
    data.AddSorted(Rec("zz"));
    EXPECT_EQ(Names(data), (std::vector<std::string>{"b", "c", "d", "m", "a", "zz"}));
}
