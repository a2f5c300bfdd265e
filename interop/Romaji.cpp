#include "interop/Romaji.h"

#include <mecab.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <QDebug>
#include <algorithm>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

// Kana to Hepburn, on katakana (hiragana is turned into katakana first). ICU applies the
// first rule that matches at each place, so pairs come before their first kana. Small
// tsu and the long-vowel mark stay for the second pass, which sees the letters after them.
constexpr std::u16string_view kKanaRules = uR"(
ファ > fa; フィ > fi; フェ > fe; フォ > fo; フュ > fyu; フャ > fya; フョ > fyo;
ティ > ti; ディ > di; トゥ > tu; ドゥ > du; テュ > tyu; デュ > dyu;
ウィ > wi; ウェ > we; ウォ > wo; イェ > ye;
ヴァ > va; ヴィ > vi; ヴェ > ve; ヴォ > vo; ヴュ > vyu;
シェ > she; ジェ > je; チェ > che;
ツァ > tsa; ツィ > tsi; ツェ > tse; ツォ > tso; スィ > si; ズィ > zi; クァ > kwa; グァ > gwa;
キャ > kya; キュ > kyu; キョ > kyo; ギャ > gya; ギュ > gyu; ギョ > gyo;
シャ > sha; シュ > shu; ショ > sho; ジャ > ja; ジュ > ju; ジョ > jo;
チャ > cha; チュ > chu; チョ > cho; ヂャ > ja; ヂュ > ju; ヂョ > jo;
ニャ > nya; ニュ > nyu; ニョ > nyo; ヒャ > hya; ヒュ > hyu; ヒョ > hyo;
ビャ > bya; ビュ > byu; ビョ > byo; ピャ > pya; ピュ > pyu; ピョ > pyo;
ミャ > mya; ミュ > myu; ミョ > myo; リャ > rya; リュ > ryu; リョ > ryo;
ア > a; イ > i; ウ > u; エ > e; オ > o;
カ > ka; キ > ki; ク > ku; ケ > ke; コ > ko; ガ > ga; ギ > gi; グ > gu; ゲ > ge; ゴ > go;
サ > sa; シ > shi; ス > su; セ > se; ソ > so; ザ > za; ジ > ji; ズ > zu; ゼ > ze; ゾ > zo;
タ > ta; チ > chi; ツ > tsu; テ > te; ト > to; ダ > da; ヂ > ji; ヅ > zu; デ > de; ド > do;
ナ > na; ニ > ni; ヌ > nu; ネ > ne; ノ > no;
ハ > ha; ヒ > hi; フ > fu; ヘ > he; ホ > ho; バ > ba; ビ > bi; ブ > bu; ベ > be; ボ > bo;
パ > pa; ピ > pi; プ > pu; ペ > pe; ポ > po;
マ > ma; ミ > mi; ム > mu; メ > me; モ > mo; ヤ > ya; ユ > yu; ヨ > yo;
ラ > ra; リ > ri; ル > ru; レ > re; ロ > ro; ワ > wa; ヰ > i; ヱ > e; ヲ > o; ン > n;
ヴ > vu; ヷ > va; ヸ > vi; ヹ > ve; ヺ > vo;
ァ > a; ィ > i; ゥ > u; ェ > e; ォ > o; ャ > ya; ュ > yu; ョ > yo; ヮ > wa; ヵ > ka; ヶ > ke;
)";

// Small tsu doubles the consonant after it ("t" before "ch") and is dropped elsewhere;
// the long-vowel mark repeats the vowel before it and is dropped elsewhere.
constexpr std::u16string_view kMarkRules = uR"(
ッ } c > t;
ッ } b > b; ッ } d > d; ッ } f > f; ッ } g > g; ッ } h > h; ッ } j > j; ッ } k > k; ッ } l > l;
ッ } m > m; ッ } n > n; ッ } p > p; ッ } q > q; ッ } r > r; ッ } s > s; ッ } t > t; ッ } v > v;
ッ } w > w; ッ } x > x; ッ } y > y; ッ } z > z;
ッ > ;
a { ー > a; i { ー > i; u { ー > u; e { ー > e; o { ー > o;
ー > ;
)";

// Composed characters; half-width katakana (with its voicing marks) to full width, one
// kana; full-width and accented Latin to ASCII; all letters lower case; then the kana.
// (A filtered transform first in the list would filter the whole list: NFC goes first.)
icu::UnicodeString AllRules() {
    icu::UnicodeString rules(uR"(
:: NFC;
:: [\uFF61-\uFF9F] Halfwidth-Fullwidth;
:: Hiragana-Katakana;
:: [\uFF01-\uFF5E] Fullwidth-Halfwidth;
:: Latin-ASCII;
:: Lower;
)");
    rules.append(kKanaRules.data(), static_cast<int32_t>(kKanaRules.size()));
    rules.append(u":: Null;\n");
    rules.append(kMarkRules.data(), static_cast<int32_t>(kMarkRules.size()));
    return rules;
}

const icu::Transliterator* RomajiRules() {
    static const std::unique_ptr<icu::Transliterator> rules = [] {
        UParseError where{};
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createFromRules(u"Marlo-Romaji", AllRules(), UTRANS_FORWARD, where, status));
        if (U_FAILURE(status)) {
            // Only a broken ICU installation gets here: the rules are this file's own.
            qWarning("romaji rules rejected by ICU: %s at line %d", u_errorName(status), where.line);
            made.reset();
        }
        return made;
    }();
    return rules.get();
}

// ICU asks that a transliterator not be shared between threads: the rules are parsed
// once, and each thread converts with its own copy of them.
const icu::Transliterator* ToRomaji() {
    thread_local const std::unique_ptr<icu::Transliterator> mine(RomajiRules() ? RomajiRules()->clone() : nullptr);
    return mine.get();
}

const icu::Transliterator* ToKatakana() {
    static const std::unique_ptr<icu::Transliterator> shared = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance(u"Latin-Katakana", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            made.reset();
        return made;
    }();
    thread_local const std::unique_ptr<icu::Transliterator> mine(shared ? shared->clone() : nullptr);
    return mine.get();
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\u3000' || c == u'\u30FB' || c == u'\uFF65';
}

/// True when `text` may be converted in two pieces cut before `at`: the character there
/// does not change the one before it (small kana, the long-vowel mark, voicing and other
/// combining marks, the second half of a surrogate pair), and the one before is no small
/// tsu, which takes its letter from the next kana.
bool CanCutBefore(const QString& text, qsizetype at) {
    const char16_t c = text[at].unicode();
    const char16_t before = text[at - 1].unicode();
    if (before == u'っ' || before == u'ッ' || before == u'ｯ')
        return false;
    const bool smallKana = (c >= u'ぁ' && c <= u'ぉ' && c % 2 == 1) || c == u'ゃ' || c == u'ゅ' || c == u'ょ' ||
                           c == u'ゎ' || (c >= u'ァ' && c <= u'ォ' && c % 2 == 1) || c == u'ャ' || c == u'ュ' ||
                           c == u'ョ' || c == u'ヮ' || (c >= u'ｧ' && c <= u'ｮ');
    const bool mark = c == u'ー' || c == u'ｰ' || (c >= 0x3099 && c <= 0x309C) || c == u'ﾞ' || c == u'ﾟ';
    return !smallKana && !mark && !text[at].isMark() && !text[at].isLowSurrogate();
}

} // namespace

std::string RomajiFromReading(const QString& reading) {
    // ICU replaces text in place, which costs a copy of the rest of the text each time:
    // a long text goes in slices, each cut where no kana reads on into the next.
    constexpr qsizetype kSlice = 256;
    const icu::Transliterator* romaji = ToRomaji();
    // A letter for each character of the reading, the most common case and all of an
    // ASCII name's: a long name is then never held twice while its romaji grows.
    std::string name;
    name.reserve(static_cast<std::size_t>(reading.size()));
    bool blank = false;
    for (qsizetype start = 0; start < reading.size();) {
        qsizetype end = start + kSlice;
        while (end < reading.size() && !CanCutBefore(reading, end))
            ++end;
        end = std::min({end, reading.size(), start + INT32_MAX}); // a run of nothing but marks
        icu::UnicodeString text(reinterpret_cast<const UChar*>(reading.utf16() + start),
                                static_cast<int32_t>(end - start));
        const bool ascii = std::all_of(reading.begin() + start, reading.begin() + end, [](QChar c) { return c.unicode() < 0x80; });
        start = end;
        // The rules change nothing of ASCII but its case (a tenth of an import's time).
        if (romaji && !ascii)
            romaji->transliterate(text);
        for (int32_t i = 0; i < text.length(); ++i) {
            char16_t c = text.charAt(i);
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
            if (IsBlank(c)) {
                blank = true;
            } else if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) {
                if (blank && !name.empty())
                    name += ' ';
                blank = false;
                name += static_cast<char>(c);
            }
        }
    }
    return name;
}

QString KatakanaFromRomaji(const QString& romaji) {
    const icu::Transliterator* katakana = ToKatakana();
    if (!katakana)
        return {};
    icu::UnicodeString text(reinterpret_cast<const UChar*>(romaji.utf16()), static_cast<int32_t>(romaji.size()));
    katakana->transliterate(text);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getBuffer()), text.length());
}

// ---------------------------------------------------------------------------
// Readings from MeCab with the IPA dictionary.

namespace {

// Debian's UTF-8 IPA dictionary; the system's mecabrc is tried after it.
constexpr const char* kIpadicUtf8 = "/var/lib/mecab/dic/ipadic-utf8";

/// The comma-separated fields of a node's feature text.
std::vector<std::string_view> FeatureFields(const char* feature) {
    std::vector<std::string_view> fields;
    std::string_view rest = feature ? feature : "";
    for (;;) {
        const size_t comma = rest.find(',');
        fields.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            return fields;
        rest.remove_prefix(comma + 1);
    }
}

/// The IPA dictionary's reading of a node (its eighth field), or empty when it has none
/// (unknown words carry seven fields, or "*").
std::string_view IpadicReading(const mecab_node_t* node) {
    const std::vector<std::string_view> fields = FeatureFields(node->feature);
    if (fields.size() < 8 || fields[7] == "*")
        return {};
    return fields[7];
}

bool HasKanji(const QString& text) {
    const QList<uint> characters = text.toUcs4();
    return std::any_of(characters.begin(), characters.end(),
                       [](uint c) { return QChar::script(c) == QChar::Script_Han; });
}

QString HiraganaToKatakana(QString text) {
    for (QChar& c : text) {
        if (c.unicode() >= 0x3041 && c.unicode() <= 0x3096)
            c = QChar(static_cast<char16_t>(c.unicode() + 0x60));
    }
    return text;
}

bool IsKanji(char32_t c) {
    return QChar::script(c) == QChar::Script_Han;
}

// Kanji that names are written with but the dictionary knows only in their common form.
// (Compatibility ideographs need no row: NFKC takes them to their common form.)
constexpr std::pair<char32_t, char32_t> kVariantKanji[] = {
    {U'髙', U'高'}, {U'﨑', U'崎'}, {U'嵜', U'崎'}, {U'㟢', U'崎'}, {U'彅', U'薙'}, {U'𠮷', U'吉'},
    {U'德', U'徳'}, {U'邉', U'辺'}, {U'邊', U'辺'}, {U'濵', U'浜'}, {U'濱', U'浜'}, {U'槗', U'橋'},
    {U'瀨', U'瀬'}, {U'曻', U'昇'}, {U'栁', U'柳'}, {U'桒', U'桑'}, {U'𡈽', U'土'},
    {U'靍', U'鶴'}, {U'鷗', U'鴎'}, {U'舩', U'船'},
};

// Given names the dictionary misreads or cannot read (it knows names of older
// generations best), and kanji that stand in names for a sound the dictionary lacks;
// looked up before the dictionary, a run of kanji whole.
constexpr std::pair<std::u16string_view, std::u16string_view> kNameReadings[] = {
    {u"陽菜", u"ヒナ"},     {u"結菜", u"ユイナ"},   {u"陽葵", u"ヒマリ"},   {u"陽翔", u"ハルト"},
    {u"大翔", u"ヒロト"},   {u"結愛", u"ユア"},     {u"心春", u"コハル"},   {u"咲良", u"サクラ"},
    {u"美桜", u"ミオ"},     {u"結月", u"ユヅキ"},   {u"花音", u"カノン"},   {u"芽依", u"メイ"},
    {u"湊", u"ミナト"},     {u"颯", u"ハヤテ"},     {u"紬", u"ツムギ"},     {u"蒼", u"アオイ"},
    {u"陽向", u"ヒナタ"},   {u"悠真", u"ユウマ"},   {u"颯太", u"ソウタ"},   {u"悠人", u"ユウト"},
    {u"純也", u"ジュンヤ"}, {u"也", u"ヤ"},         {u"菜", u"ナ"},         {u"翔", u"ショウ"},
};

/// `text` with each variant kanji in its common form, NFKC-normalized first.
QString CommonForms(const QString& text) {
    QString common;
    for (const char32_t c : text.normalized(QString::NormalizationForm_KC).toUcs4()) {
        char32_t to = c;
        for (const auto& [variant, usual] : kVariantKanji)
            if (variant == c)
                to = usual;
        common += QString::fromUcs4(&to, 1);
    }
    return common;
}

QString TableReading(const QString& run) {
    for (const auto& [name, reading] : kNameReadings)
        if (QStringView(name) == run)
            return QString::fromUtf16(reading.data(), static_cast<qsizetype>(reading.size()));
    return {};
}

bool IsDirectory(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsUtf8Charset(const char* charset) {
    const QByteArray name = QByteArray(charset ? charset : "").toLower();
    return name == "utf-8" || name == "utf8";
}

} // namespace

struct NameReadings::Tagger {
    mecab_t* mecab = nullptr;
    std::mutex lock; // a MeCab tagger parses one text at a time

    explicit Tagger(mecab_t* made) : mecab(made) {}
    ~Tagger() { mecab_destroy(mecab); }

    /// The reading of one blank-free part, empty when some kanji in it has none. Alone, a
    /// name is often read as a common word (平野 ヘイヤ, 陽子 ヨウシ, 八木 ハチボク); followed by
    /// さん, as a person is addressed, the dictionary prefers its name entries. When that
    /// joins the name's last character to さん, the name is read by itself.
    QString Read(const QString& part) {
        const QByteArray name = part.toUtf8();
        std::lock_guard<std::mutex> hold(lock);
        QString reading;
        Outcome outcome = Parse(name + QByteArrayLiteral("さん"), name.size(), reading);
        if (outcome == Outcome::Misaligned) {
            reading.clear();
            outcome = Parse(name, name.size(), reading);
        }
        return outcome == Outcome::Read ? reading : QString();
    }

    enum class Outcome { Read, Unread, Misaligned };

    /// Appends to `reading` the readings of the words of `text` that make up its first
    /// `wanted` bytes: Unread when one of them holds a kanji without reading, Misaligned
    /// when no word ends at `wanted`.
    Outcome Parse(const QByteArray& text, qsizetype wanted, QString& reading) {
        const mecab_node_t* node = mecab_sparse_tonode2(mecab, text.constData(), static_cast<size_t>(text.size()));
        if (!node)
            return Outcome::Unread;
        qsizetype end = 0;
        for (; node && end < wanted; node = node->next) {
            if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE)
                continue;
            end += node->rlength;
            if (end > wanted)
                return Outcome::Misaligned;
            const QString surface = QString::fromUtf8(node->surface, node->length);
            if (!HasKanji(surface)) {
                reading += HiraganaToKatakana(surface); // kana, Latin, digits: as written
                continue;
            }
            const std::string_view kana = IpadicReading(node);
            if (kana.empty())
                return Outcome::Unread;
            reading += QString::fromUtf8(kana.data(), static_cast<qsizetype>(kana.size()));
        }
        return end == wanted ? Outcome::Read : Outcome::Misaligned;
    }

    /// A tagger on the UTF-8 IPA dictionary that `arguments` name, or null. A dictionary in
    /// another encoding would misread every name; another dictionary (JUMAN) puts no
    /// katakana reading in the eighth field: both are refused.
    static std::unique_ptr<Tagger> Load(std::vector<const char*> arguments) {
        mecab_t* mecab = mecab_new(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data()));
        if (!mecab)
            return nullptr;
        auto tagger = std::make_unique<Tagger>(mecab);
        const mecab_dictionary_info_t* info = mecab_dictionary_info(mecab);
        if (!info || !IsUtf8Charset(info->charset))
            return nullptr;
        if (tagger->Read(QStringLiteral("東京")) != QStringLiteral("トウキョウ"))
            return nullptr;
        return tagger;
    }
};

NameReadings::NameReadings() {
    // The rc file only names a dictionary; the dictionary's own dicrc holds its settings.
    try {
        if (IsDirectory(kIpadicUtf8))
            m_tagger = Tagger::Load({"mecab", "-r", "/dev/null", "-d", kIpadicUtf8});
        if (!m_tagger)
            m_tagger = Tagger::Load({"mecab"});
    } catch (const std::exception&) {
        m_tagger.reset(); // out of memory while loading: no readings
    }
}

NameReadings::NameReadings(const std::string& dictionaryDir) {
    try {
        if (IsDirectory(dictionaryDir.c_str()))
            m_tagger = Tagger::Load({"mecab", "-r", "/dev/null", "-d", dictionaryDir.c_str()});
    } catch (const std::exception&) {
        m_tagger.reset();
    }
}

NameReadings::~NameReadings() = default;

bool NameReadings::Available() const {
    return m_tagger != nullptr;
}

QString NameReadings::ReadingOf(const QString& name, QStringList* unread) const {
    if (!name.isValidUtf16()) // a lone surrogate would reach MeCab as '?'
        return {};
    // The dictionary's time grows faster than the text: a long name is no name, and
    // only its kana, letters and digits are read.
    const bool dictionary = m_tagger && name.size() <= kLongestName;
    QString reading;
    QString spaced = name;
    spaced.replace(QChar(0x3000), u' ');
    for (const QString& written : spaced.split(u' ', Qt::SkipEmptyParts)) {
        const QString part = CommonForms(written);
        // A part without kanji (kana, Latin letters, digits) reads as it is written.
        const QList<uint> characters = part.toUcs4();
        const bool hasKanji = std::any_of(characters.begin(), characters.end(), [](uint c) { return IsKanji(c); });
        QString read = hasKanji && dictionary ? TableReading(part) : QString();
        if (read.isEmpty() && hasKanji && dictionary)
            read = m_tagger->Read(part);
        // Not read whole: each run of kanji on its own (through the table, the dictionary,
        // then kanji by kanji), the rest as written; a run nothing reads is left out.
        if (read.isEmpty()) {
            for (qsizetype start = 0; start < characters.size();) {
                const bool kanji = IsKanji(characters[start]);
                qsizetype end = start + 1;
                while (end < characters.size() && IsKanji(characters[end]) == kanji)
                    ++end;
                const QString run = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData() + start),
                                                      end - start);
                start = end;
                if (!kanji) {
                    read += HiraganaToKatakana(run);
                    continue;
                }
                QString runReading = dictionary ? ReadRun(run) : QString();
                if (runReading.isEmpty() && unread)
                    unread->push_back(run);
                read += runReading;
            }
        }
        if (read.isEmpty())
            continue;
        if (!reading.isEmpty())
            reading += u' ';
        reading += read;
    }
    return reading;
}

QString NameReadings::ReadRun(const QString& run) const {
    if (QString read = TableReading(run); !read.isEmpty())
        return read;
    if (QString read = m_tagger->Read(run); !read.isEmpty())
        return read;
    if (run.toUcs4().size() < 2)
        return {};
    QString read;
    for (const char32_t c : run.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        QString kanji = TableReading(one);
        if (kanji.isEmpty())
            kanji = m_tagger->Read(one);
        if (kanji.isEmpty())
            return {};
        read += kanji;
    }
    return read;
}

// Each allowed character is one byte in code page 932, and every other character
// has a first byte outside the allowed set, so checking characters is checking bytes.
bool IsRomajiName(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return u == u' ' || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
    });
}
