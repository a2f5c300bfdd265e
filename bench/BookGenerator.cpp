#include "BookGenerator.h"

#include "platform/Cp932.h"

#include <QString>
#include <algorithm>
#include <array>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

// splitmix64: tiny, fast and the same on every platform and standard library,
// which std:: distributions are not.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next() noexcept {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    /// 0 <= result < n (n > 0); the slight bias of the multiply does not matter here.
    std::uint32_t Below(std::uint32_t n) noexcept {
        return static_cast<std::uint32_t>(((Next() >> 32) * static_cast<std::uint64_t>(n)) >> 32);
    }
    /// True with probability permille / 1000.
    bool Chance(std::uint32_t permille) noexcept { return Below(1000) < permille; }

private:
    std::uint64_t m_state;
};

struct NameSource {
    const char* romaji;
    const char* text; // UTF-8
};

// Common family names, most frequent first: frequency falls off with the rank,
// so a few names (and their prefixes) fill much of the book. "saito" appears with
// two spellings, as it does in real books.
constexpr NameSource kFamilyNames[] = {
    {"sato", "佐藤"},     {"suzuki", "鈴木"},    {"takahashi", "高橋"},  {"tanaka", "田中"},    {"ito", "伊藤"},
    {"watanabe", "渡辺"}, {"yamamoto", "山本"},  {"nakamura", "中村"},   {"kobayashi", "小林"}, {"kato", "加藤"},
    {"yoshida", "吉田"},  {"yamada", "山田"},    {"sasaki", "佐々木"},   {"yamaguchi", "山口"}, {"matsumoto", "松本"},
    {"inoue", "井上"},    {"kimura", "木村"},    {"hayashi", "林"},      {"saito", "斎藤"},     {"shimizu", "清水"},
    {"yamazaki", "山崎"}, {"mori", "森"},        {"ikeda", "池田"},      {"hashimoto", "橋本"}, {"abe", "阿部"},
    {"ishikawa", "石川"}, {"yamashita", "山下"}, {"nakajima", "中島"},   {"ishii", "石井"},     {"ogawa", "小川"},
    {"maeda", "前田"},    {"okada", "岡田"},     {"hasegawa", "長谷川"}, {"fujita", "藤田"},    {"goto", "後藤"},
    {"kondo", "近藤"},    {"murakami", "村上"},  {"endo", "遠藤"},       {"aoki", "青木"},      {"sakamoto", "坂本"},
    {"saito", "斉藤"},    {"fukuda", "福田"},    {"ota", "太田"},        {"nishimura", "西村"}, {"fujii", "藤井"},
    {"kaneko", "金子"},   {"okamoto", "岡本"},   {"fujiwara", "藤原"},   {"nakano", "中野"},    {"miura", "三浦"},
    {"harada", "原田"},   {"nakagawa", "中川"},  {"matsuda", "松田"},    {"takeuchi", "竹内"},  {"ono", "小野"},
    {"tamura", "田村"},   {"nakayama", "中山"},  {"wada", "和田"},       {"ishida", "石田"},    {"morita", "森田"},
    {"ueda", "上田"},     {"hara", "原"},        {"uchida", "内田"},     {"shibata", "柴田"},   {"sakai", "酒井"},
    {"miyazaki", "宮崎"}, {"yokoyama", "横山"},  {"takagi", "高木"},     {"ando", "安藤"},      {"miyamoto", "宮本"},
    {"ohno", "大野"},     {"kojima", "小島"},    {"taniguchi", "谷口"},  {"imai", "今井"},      {"kudo", "工藤"},
    {"takada", "高田"},   {"maruyama", "丸山"},  {"masuda", "増田"},     {"sugiyama", "杉山"},  {"murata", "村田"},
    {"otsuka", "大塚"},   {"koyama", "小山"},    {"hirano", "平野"},     {"fujimoto", "藤本"},  {"kubo", "久保"},
    {"matsui", "松井"},   {"chiba", "千葉"},     {"iwasaki", "岩崎"},    {"sakurai", "桜井"},   {"kinoshita", "木下"},
    {"noguchi", "野口"},  {"matsuo", "松尾"},    {"nomura", "野村"},     {"kikuchi", "菊地"},   {"sano", "佐野"},
    {"onishi", "大西"},   {"sugawara", "菅原"},  {"ichikawa", "市川"},   {"arai", "新井"},      {"fukushima", "福島"},
    {"takeda", "武田"},   {"ueno", "上野"},      {"mizuno", "水野"},     {"ozawa", "小沢"},
};

// Parts of less common family names; any first part with any second part gives a
// plausible name whose reading matches its kanji ("kita" + "mura" = 北村).
constexpr NameSource kFamilyHeads[] = {
    {"yama", "山"},  {"naka", "中"},   {"kawa", "川"},  {"ishi", "石"},   {"matsu", "松"},  {"mori", "森"},
    {"shima", "島"}, {"fuji", "藤"},   {"oka", "岡"},   {"miya", "宮"},   {"nishi", "西"},  {"higashi", "東"},
    {"kita", "北"},  {"minami", "南"}, {"taka", "高"},  {"ko", "小"},     {"o", "大"},      {"hira", "平"},
    {"fuku", "福"},  {"yoshi", "吉"},  {"take", "竹"},  {"saka", "坂"},   {"kuro", "黒"},   {"shira", "白"},
    {"ao", "青"},    {"kane", "金"},   {"mae", "前"},   {"naga", "長"},   {"hama", "浜"},   {"ike", "池"},
    {"sawa", "沢"},  {"kami", "上"},   {"shimo", "下"}, {"ume", "梅"},    {"sakura", "桜"}, {"iwa", "岩"},
    {"ara", "荒"},   {"hoso", "細"},   {"kiku", "菊"},  {"tsuchi", "土"},
};
constexpr NameSource kFamilyTails[] = {
    {"da", "田"},    {"kawa", "川"},  {"moto", "本"}, {"mura", "村"},    {"no", "野"},   {"shita", "下"},
    {"ue", "上"},    {"zaki", "崎"},  {"hara", "原"}, {"shima", "島"},   {"oka", "岡"},  {"tani", "谷"},
    {"zawa", "沢"},  {"guchi", "口"}, {"i", "井"},    {"bayashi", "林"}, {"mori", "森"}, {"ki", "木"},
    {"hashi", "橋"}, {"uchi", "内"},  {"yama", "山"}, {"kubo", "久保"},  {"sato", "里"}, {"ishi", "石"},
};

constexpr NameSource kGivenNames[] = {
    {"hiroshi", "博"},    {"takashi", "隆"},    {"makoto", "誠"},    {"kenji", "健二"},     {"ichiro", "一郎"},
    {"jiro", "次郎"},     {"taro", "太郎"},     {"shota", "翔太"},   {"daisuke", "大輔"},   {"yusuke", "雄介"},
    {"kazuki", "一輝"},   {"takuya", "拓也"},   {"naoki", "直樹"},   {"tsuyoshi", "剛"},    {"minoru", "稔"},
    {"osamu", "修"},      {"satoshi", "聡"},    {"akira", "明"},     {"haruto", "陽翔"},    {"sota", "蒼太"},
    {"ren", "蓮"},        {"yuto", "悠斗"},     {"minato", "湊"},    {"riku", "陸"},        {"kaito", "海斗"},
    {"keiko", "恵子"},    {"yoko", "洋子"},     {"akiko", "明子"},   {"tomoko", "智子"},    {"naoko", "直子"},
    {"yumiko", "由美子"}, {"kazuko", "和子"},   {"sachiko", "幸子"}, {"michiko", "美智子"}, {"hanako", "花子"},
    {"yuki", "由紀"},     {"ayumi", "歩"},      {"megumi", "恵"},    {"kaori", "香織"},     {"mai", "舞"},
    {"yui", "結衣"},      {"sakura", "さくら"}, {"hina", "陽菜"},    {"aoi", "葵"},         {"mio", "美緒"},
    {"rin", "凛"},        {"misaki", "美咲"},   {"haruka", "遥"},    {"nanami", "七海"},    {"yuna", "優奈"},
};

// Syllables for the long tail of given names, written in hiragana in the kanji field.
constexpr NameSource kSyllables[] = {
    {"a", "あ"},     {"i", "い"},    {"u", "う"},   {"e", "え"},   {"o", "お"},   {"ka", "か"},    {"ki", "き"},
    {"ku", "く"},    {"ke", "け"},   {"ko", "こ"},  {"sa", "さ"},  {"shi", "し"}, {"su", "す"},    {"se", "せ"},
    {"so", "そ"},    {"ta", "た"},   {"chi", "ち"}, {"tsu", "つ"}, {"te", "て"},  {"to", "と"},    {"na", "な"},
    {"ni", "に"},    {"nu", "ぬ"},   {"ne", "ね"},  {"no", "の"},  {"ha", "は"},  {"hi", "ひ"},    {"fu", "ふ"},
    {"he", "へ"},    {"ho", "ほ"},   {"ma", "ま"},  {"mi", "み"},  {"mu", "む"},  {"me", "め"},    {"mo", "も"},
    {"ya", "や"},    {"yu", "ゆ"},   {"yo", "よ"},  {"ra", "ら"},  {"ri", "り"},  {"ru", "る"},    {"re", "れ"},
    {"ro", "ろ"},    {"wa", "わ"},   {"ga", "が"},  {"gi", "ぎ"},  {"go", "ご"},  {"za", "ざ"},    {"ji", "じ"},
    {"zu", "ず"},    {"da", "だ"},   {"do", "ど"},  {"ba", "ば"},  {"bu", "ぶ"},  {"kyo", "きょ"}, {"sho", "しょ"},
    {"ryo", "りょ"}, {"ju", "じゅ"},
};
constexpr NameSource kGivenEndings[] = {
    {"ko", "こ"}, {"mi", "み"}, {"ka", "か"}, {"ro", "ろう"}, {"ta", "た"}, {"ki", "き"}, {"ya", "や"}, {"to", "と"},
};

// Memo lines; some hold characters whose second byte is 0x5C (表, ソ, 能) or
// half-width katakana, which byte-level code must pass through unchanged.
constexpr const char* kMemoLines[] = {
    "会社",
    "自宅",
    "携帯",
    "大学の同期",
    "高校の同級生",
    "取引先 営業部",
    "歯医者 木曜休診",
    "美容院",
    "町内会の役員",
    "子供の同級生の保護者",
    "年賀状を送る",
    "平日夜は不在",
    "土日のみ連絡可",
    "総務部 課長",
    "表参道店",
    "ソフトウェア開発部",
    "能登の親戚",
    "ｶﾌﾞｼｷｶﾞｲｼｬ ﾔﾏﾀﾞｼｮｳｼﾞ",
    "留守番電話あり",
    "引っ越し予定 来年春",
    "テニスサークル",
    "紹介者 田中さん",
};

struct Entry {
    std::string romaji;
    std::string text; // code page 932
};

std::string ToCp932(const char* utf8) {
    const Cp932Encoded enc = UnicodeToCp932(QString::fromUtf8(utf8));
    if (!enc.ok())
        throw std::logic_error(std::string("generator table text not in code page 932: ") + utf8);
    return enc.bytes;
}

template <std::size_t N> std::vector<Entry> Convert(const NameSource (&src)[N]) {
    std::vector<Entry> out;
    out.reserve(N);
    for (const NameSource& s : src)
        out.push_back({s.romaji, ToCp932(s.text)});
    return out;
}

// The tables in code page 932, converted once.
struct Tables {
    std::vector<Entry> family = Convert(kFamilyNames);
    std::vector<Entry> heads = Convert(kFamilyHeads);
    std::vector<Entry> tails = Convert(kFamilyTails);
    std::vector<Entry> given = Convert(kGivenNames);
    std::vector<Entry> syllables = Convert(kSyllables);
    std::vector<Entry> endings = Convert(kGivenEndings);
    std::vector<std::string> memo;
    std::vector<std::uint32_t> familyCumulative; // running sum of the rank weights
    std::string wideSpace = ToCp932("\u3000");
    std::string birthday = ToCp932("誕生日 ");
    std::string month = ToCp932("月");
    std::string day = ToCp932("日");
    std::string extension = ToCp932("内線 ");

    Tables() {
        for (const char* line : kMemoLines)
            memo.push_back(ToCp932(line));
        std::uint32_t sum = 0;
        for (std::size_t rank = 0; rank < family.size(); ++rank) {
            sum += 100000 / static_cast<std::uint32_t>(rank + 4); // roughly Zipf
            familyCumulative.push_back(sum);
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

template <typename T> const T& Pick(Rng& rng, const std::vector<T>& v) {
    return v[rng.Below(static_cast<std::uint32_t>(v.size()))];
}

void AppendDigits(Rng& rng, std::string& s, int n) {
    for (int i = 0; i < n; ++i)
        s += static_cast<char>('0' + rng.Below(10));
}

Entry FamilyName(Rng& rng, const Tables& t) {
    if (rng.Chance(700)) {
        const std::uint32_t r = rng.Below(t.familyCumulative.back());
        const auto it = std::upper_bound(t.familyCumulative.begin(), t.familyCumulative.end(), r);
        return t.family[static_cast<std::size_t>(it - t.familyCumulative.begin())];
    }
    const Entry& head = Pick(rng, t.heads);
    const Entry& tail = Pick(rng, t.tails);
    return {head.romaji + tail.romaji, head.text + tail.text};
}

Entry GivenName(Rng& rng, const Tables& t) {
    if (rng.Chance(60))
        return Pick(rng, t.given);
    // Mostly three syllables: the long tail keeps exact duplicates rare (about 2% of
    // the entries at 1,000, 5% at 100,000, 11% at a million, growing as in real books).
    Entry e;
    const std::uint32_t kind = rng.Below(10);
    const std::uint32_t syllables = kind == 0 ? 1 : (kind < 4 ? 2 : 3);
    for (std::uint32_t i = 0; i < syllables; ++i) {
        const Entry& s = Pick(rng, t.syllables);
        e.romaji += s.romaji;
        e.text += s.text;
    }
    const Entry& end = Pick(rng, t.endings);
    e.romaji += end.romaji;
    e.text += end.text;
    return e;
}

std::string PhoneNumber(Rng& rng) {
    static constexpr std::array<const char*, 10> kAreas3 = {"011", "022", "045", "048", "052",
                                                            "075", "078", "082", "092", "098"};
    static constexpr std::array<const char*, 6> kAreas4 = {"0466", "0263", "0120", "0545", "0172", "0857"};
    std::string s;
    const std::uint32_t kind = rng.Below(100);
    if (kind < 45) { // mobile
        s = rng.Chance(600) ? "090-" : (rng.Chance(700) ? "080-" : "070-");
        AppendDigits(rng, s, 4);
        s += '-';
        AppendDigits(rng, s, 4);
    } else if (kind < 65) { // Tokyo, Osaka
        s = rng.Chance(700) ? "03-" : "06-";
        AppendDigits(rng, s, 4);
        s += '-';
        AppendDigits(rng, s, 4);
    } else if (kind < 90) {
        s = kAreas3[rng.Below(kAreas3.size())];
        s += '-';
        AppendDigits(rng, s, 3);
        s += '-';
        AppendDigits(rng, s, 4);
    } else if (kind < 99) {
        s = kAreas4[rng.Below(kAreas4.size())];
        s += '-';
        AppendDigits(rng, s, 2);
        s += '-';
        AppendDigits(rng, s, 4);
    }
    return s; // 1 in 100 has no number
}

std::string MemoLine(Rng& rng, const Tables& t, const std::string& romaji) {
    const std::uint32_t kind = rng.Below(100);
    if (kind < 70)
        return Pick(rng, t.memo);
    std::string s;
    if (kind < 80) {
        s = t.birthday + std::to_string(1 + rng.Below(12)) + t.month + std::to_string(1 + rng.Below(28)) + t.day;
    } else if (kind < 88) {
        s = "FAX " + PhoneNumber(rng);
    } else if (kind < 94) {
        s = t.extension;
        AppendDigits(rng, s, 4);
    } else {
        for (char c : romaji)
            s += c == ' ' ? '.' : c;
        s += "@example.jp";
    }
    return s;
}

std::string Memo(Rng& rng, const Tables& t, const std::string& romaji) {
    const std::uint32_t kind = rng.Below(100);
    if (kind < 65)
        return {};
    const std::uint32_t lines = kind < 90 ? 1 : 2 + rng.Below(2);
    std::string memo;
    for (std::uint32_t i = 0; i < lines; ++i) {
        if (i > 0)
            memo += "\r\n";
        memo += MemoLine(rng, t, romaji);
    }
    return memo;
}

} // namespace

std::vector<PhoneRecord> GenerateRecords(std::size_t count, std::uint64_t seed) {
    const Tables& t = GetTables();
    Rng rng(seed);
    std::vector<PhoneRecord> records;
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        PhoneRecord rec;
        if (!records.empty() && rng.Chance(20)) {
            // The same person again, e.g. a second number.
            const PhoneRecord& earlier = records[rng.Below(static_cast<std::uint32_t>(records.size()))];
            rec.m_strRomaji = earlier.m_strRomaji;
            rec.m_strKanji = earlier.m_strKanji;
        } else {
            const Entry family = FamilyName(rng, t);
            const std::uint32_t form = rng.Below(100);
            if (form < 1) { // a family or a shop: the family name alone
                rec.m_strRomaji = family.romaji;
                rec.m_strKanji = family.text;
            } else {
                const Entry given = GivenName(rng, t);
                rec.m_strRomaji = family.romaji + (form < 88 ? " " : "") + given.romaji;
                rec.m_strKanji = family.text + (rng.Chance(500) ? t.wideSpace : std::string()) + given.text;
            }
        }
        rec.m_strPhone = PhoneNumber(rng);
        rec.m_strMemo = Memo(rng, t, rec.m_strRomaji);
        records.push_back(std::move(rec));
    }
    return records;
}

std::string GeneratePhoneCards(std::size_t count, bool withReading) {
    static const char* const kFamilies[][2] = {{"佐藤", "サトウ"}, {"鈴木", "スズキ"}, {"高橋", "タカハシ"},
                                              {"田中", "タナカ"}, {"渡辺", "ワタナベ"}, {"伊藤", "イトウ"},
                                              {"山本", "ヤマモト"}, {"中村", "ナカムラ"}, {"小林", "コバヤシ"},
                                              {"加藤", "カトウ"}, {"吉田", "ヨシダ"}, {"山田", "ヤマダ"}};
    static const char* const kGivens[][2] = {{"一郎", "イチロウ"}, {"健太", "ケンタ"}, {"翔太", "ショウタ"},
                                            {"さくら", "サクラ"}, {"美咲", "ミサキ"}, {"大輔", "ダイスケ"},
                                            {"陽菜", "ヒナ"}, {"拓也", "タクヤ"}, {"真由美", "マユミ"},
                                            {"直樹", "ナオキ"}, {"優子", "ユウコ"}, {"達也", "タツヤ"}};
    std::mt19937 random(static_cast<unsigned>(count));
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& family = kFamilies[random() % std::size(kFamilies)];
        const auto& given = kGivens[random() % std::size(kGivens)];
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:";
        out += family[0];
        out += ';';
        out += given[0];
        out += ";;;\r\nFN:";
        out += family[0];
        out += ' ';
        out += given[0];
        out += "\r\n";
        if (withReading) {
            out += "X-PHONETIC-LAST-NAME:";
            out += family[1];
            out += "\r\nX-PHONETIC-FIRST-NAME:";
            out += given[1];
            out += "\r\n";
        }
        out += "TEL;type=CELL;type=VOICE;type=pref:090-" + std::to_string(1000 + random() % 9000) + "-" +
               std::to_string(1000 + random() % 9000) + "\r\nitem1.TEL:03-" + std::to_string(1000 + random() % 9000) +
               "-0000\r\nitem1.X-ABLabel:_$!<Home>!$_\r\nEMAIL;type=INTERNET:user" + std::to_string(i) +
               "@example.jp\r\nEND:VCARD\r\n";
    }
    return out;
}
