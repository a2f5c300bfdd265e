#pragma once
// Romaji names for the phone book, made from the readings address books keep
// (kana), and readings for names that come only in kanji, from MeCab's IPA dictionary.

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

/// `reading` as a romaji name: kana (hiragana, katakana, half-width katakana) in lower-case
/// Hepburn, Latin letters (also full-width and accented) lower-cased and folded to ASCII,
/// digits kept; any run of blanks (space, U+3000, tab, the middle dot ・ and ･) becomes one
/// space, none at either end; every other character is dropped. The result holds only
/// a-z, 0-9 and space (ASCII, so it is also code page 932).
std::string RomajiFromReading(const QString& reading);

/// `romaji` (a to z, digits, spaces) in katakana, by ICU's Latin-to-Katakana
/// transliteration: "satou" → "サトウ". For the readings phones sort names by.
QString KatakanaFromRomaji(const QString& romaji);

/// True for a romaji name the phone book takes: spaces, a to z and 0 to 9 only (the
/// check of the data-entry and modify dialogs). An empty name passes.
bool IsRomajiName(const QString& text);

/// Readings of names written in kanji, from a Japanese dictionary loaded once.
/// One object may be used from several threads; they take turns on the dictionary.
class NameReadings {
public:
    NameReadings(); // loads the dictionary; never throws
    /// Loads the UTF-8 IPA dictionary in `dictionaryDir` only (for a dictionary
    /// installed elsewhere, and to see what a missing one does).
    explicit NameReadings(const std::string& dictionaryDir);
    ~NameReadings();
    NameReadings(const NameReadings&) = delete;
    NameReadings& operator=(const NameReadings&) = delete;

    bool Available() const; // false when the dictionary could not be loaded
    /// The reading of `name` in katakana. Blanks in the name (space, U+3000) stay one
    /// space between the parts' readings: "田中 太郎" → "タナカ タロウ". A part is read
    /// whole when the dictionary can (variant kanji such as 髙 or 﨑 through their common
    /// form); else each run of kanji on its own, kana as katakana, Latin letters and digits
    /// as they are. A run of kanji that nothing reads is left out and added to `unread`;
    /// so are all the kanji of a name longer than kLongestName characters, which is not
    /// given to the dictionary, and all of them when there is no dictionary.
    QString ReadingOf(const QString& name, QStringList* unread = nullptr) const;

    /// Names longer than this are no names the dictionary is asked about.
    static constexpr qsizetype kLongestName = 64;

private:
    /// The reading of a run of kanji: the table of names, the dictionary, else kanji by kanji.
    QString ReadRun(const QString& run) const;

    struct Tagger;
    std::unique_ptr<Tagger> m_tagger; ///< null when no dictionary could be loaded
};
