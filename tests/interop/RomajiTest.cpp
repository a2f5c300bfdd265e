#include "interop/Romaji.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

bool IsDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

TEST(RomajiFromReading, HepburnAsTheKanaWriteIt) {
    const struct {
        const char* reading;
        const char* romaji;
    } cases[] = {
        {"さとう おおの ゆうこ けいこ", "satou oono yuuko keiko"}, // long vowels as written
        {"ラーメン ジョージ", "raamen jooji"},                     // ー repeats the vowel before it
        {"ーア ンー", "a n"},                                      // ー with no vowel before it
        {"さっぽろ はっとり", "sapporo hattori"},                  // small tsu doubles
        {"まっちゃ", "matcha"},                                    // small tsu before ch
        {"あっ あっお ラッー", "a ao raa"},                        // small tsu at the end, before a vowel, before ー
        {"けんいち じゅんや しんいち", "kenichi junya shinichi"},  // ん before a vowel or y
        {"なんば さんぺい", "nanba sanpei"},                       // ん before b/m/p
        {"しちつふじぢづをゐゑゔ", "shichitsufujijizuoievu"},
        {"しゃちゅりょじょぢゃ", "shachuryojoja"},
        {"ファフィティディトゥウィウェヴァシェジェチェ", "fafitidituwiwevashejeche"},
        {"ぁぃぅぇぉ", "aiueo"},
        {"ｶﾞ ﾊﾟ ｻｯﾎﾟﾛ ｼﾞｮｰ", "ga pa sapporo joo"}, // half-width with voicing marks
        {"ﾀﾅｶ ｲﾁﾛｳ", "tanaka ichirou"},
        {"\xE3\x81\x8B\xE3\x82\x99", "ga"}, // か with a combining voicing mark
        {"Tanaka Ichirō", "tanaka ichiro"},
        {"ＳＡＴＯ Zoë Ångström", "sato zoe angstrom"},
        {"O'Brien", "obrien"},
        {"たなか２ 3ばん", "tanaka2 3ban"},
        {" やまだ　・ はなこ ･ﾀﾛｳ\tx ", "yamada hanako tarou x"}, // blanks: one space, none at the ends
        {"田中 たろう", "tarou"},                                 // kanji dropped, with the blank before them
        {"山田・花子", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RomajiFromReading(U(c.reading)), c.romaji) << c.reading;
}

TEST(RomajiFromReading, LongTextWithoutBlanksReadsAsItsPieces) {
    // Converted in slices: no cut may part a kana from its small kana, mark or small tsu.
    QString reading;
    std::string romaji;
    for (int i = 0; i < 100; ++i) {
        reading += U("さっぽろじょーじﾊﾟｯﾄﾞｰ");
        romaji += "sapporojoojipaddoo";
    }
    EXPECT_EQ(RomajiFromReading(reading), romaji);
}

TEST(NameReadings, ReadsCommonNamesAndNothingHalfRead) {
    const NameReadings readings;
    ASSERT_TRUE(readings.Available()) << "MeCab's UTF-8 IPA dictionary is missing (scripts/setup.sh installs it)";
    EXPECT_EQ(readings.ReadingOf(U("佐藤")).toStdString(), "サトウ");
    EXPECT_EQ(readings.ReadingOf(U("一郎")).toStdString(), "イチロウ");
    EXPECT_EQ(readings.ReadingOf(U("田中 太郎")).toStdString(), "タナカ タロウ");
    EXPECT_EQ(readings.ReadingOf(U("　田中　　太郎 ")).toStdString(), "タナカ タロウ");
    EXPECT_EQ(readings.ReadingOf(U("ゆり子 Smith")).toStdString(), "ユリコ Smith");
    // Alone these read as common words (ヘイヤ, ヨウシ); as names they do not.
    EXPECT_EQ(readings.ReadingOf(U("平野 陽子")).toStdString(), "ヒラノ ヨウコ");
    EXPECT_EQ(readings.ReadingOf(U("律")).toStdString(), "リツ"); // 律さん parses as 律さ + ん
    EXPECT_EQ(RomajiFromReading(readings.ReadingOf(U("高橋"))), "takahashi");
}

// Each part of a name is read on its own: what cannot be read is left out and named,
// the rest stays; variant kanji read as their common form; a name too long for a name
// is not given to the dictionary.
TEST(NameReadings, ReadsEachPartAndNamesWhatItCannot) {
    const NameReadings readings;
    ASSERT_TRUE(readings.Available());
    const QString longName = QString(NameReadings::kLongestName, QChar(u'あ')) + U("田中");
    const std::string longReading = QString(NameReadings::kLongestName, QChar(u'ア')).toStdString();
    struct Case {
        QString name;
        std::string reading;
        QStringList unread;
    };
    const Case cases[] = {
        {U("\xF0\xA0\x80\x8B"), "", {U("\xF0\xA0\x80\x8B")}}, // CJK extension B: not in the dictionary
        {U("佐藤 \xF0\xA0\x80\x8B"), "サトウ", {U("\xF0\xA0\x80\x8B")}},
        {U("小鳥遊ホシノ"), "ホシノ", {U("小鳥遊")}},              // the kana of a part whose kanji are unread
        {U("髙橋 一郎"), "タカハシ イチロウ", {}},                  // variant kanji
        {U("宮﨑 あおい"), "ミヤザキ アオイ", {}},
        {U("草彅 剛"), "クサナギ ツヨシ", {}},
        {U("小林 純也"), "コバヤシ ジュンヤ", {}},                  // names the dictionary misreads or lacks
        {U("陽菜"), "ヒナ", {}},
        {longName, longReading, {U("田中")}},
    };
    for (const Case& c : cases) {
        QStringList unread;
        const QString reading = readings.ReadingOf(c.name, &unread);
        EXPECT_EQ(reading.toStdString(), c.reading) << c.name.toStdString();
        EXPECT_EQ(unread, c.unread) << c.name.toStdString();
    }
}

TEST(NameReadings, MissingOrForeignDictionaryReadsNothing) {
    const NameReadings missing("/nonexistent/mecab/dic");
    EXPECT_FALSE(missing.Available());
    EXPECT_EQ(missing.ReadingOf(U("佐藤")).toStdString(), "");
    // Dictionaries that would load but misread: the EUC-JP IPA dictionary and JUMAN.
    for (const char* other : {"/var/lib/mecab/dic/ipadic", "/var/lib/mecab/dic/juman-utf8"}) {
        if (IsDirectory(other)) {
            EXPECT_FALSE(NameReadings(other).Available()) << other;
        }
    }
}

TEST(NameReadings, OneObjectServesSeveralThreads) {
    // The import keeps one dictionary for the whole program. Threads reading names at once
    // take turns on it (one tagger's parses mix within a few thousand calls otherwise), and
    // each turns readings into romaji with rules of its own. CI runs this under ThreadSanitizer.
    const NameReadings readings;
    ASSERT_TRUE(readings.Available()) << "MeCab's UTF-8 IPA dictionary is missing (scripts/setup.sh installs it)";
    const std::vector<QString> names = {U("佐藤"),         U("田中 太郎"), U("平野 陽子"),       U("高橋"),
                                        U("ゆり子 Smith"), U("律"),        U("\xF0\xA0\x80\x8B")};
    std::vector<std::string> expected;
    for (const QString& name : names)
        expected.push_back(RomajiFromReading(readings.ReadingOf(name)));

    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int round = 0; round < 2000; ++round) {
                const std::size_t i = static_cast<std::size_t>(round + t) % names.size();
                if (RomajiFromReading(readings.ReadingOf(names[i])) != expected[i])
                    ++wrong;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(expected[1], "tanaka tarou");
}
