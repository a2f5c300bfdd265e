#pragma once
// A contact as address books and phones write it, between their files and the
// phone book: Unicode text, read from a vCard or a CSV file before it becomes an
// entry of code page 932 bytes (see ContactImport.h).

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

/// One telephone number of a contact.
struct ContactPhone {
    QString number;
    QString kind;           ///< what the number is, as the memo shows it: "携帯", "自宅", "勤務先", "FAX", … or empty
    bool preferred = false; ///< marked preferred (vCard PREF, TYPE=pref or PREF=1)
};

/// One contact, every text as the file had it (line breaks as "\n").
struct Contact {
    QString formattedName;   ///< the name as the user sees it: FN, or the CSV's name columns
    QString familyName;      ///< N's family name (CSV: last name)
    QString givenName;       ///< N's given name (CSV: first name)
    QString familyReading;   ///< reading of the family name: X-PHONETIC-LAST-NAME, SORT-AS, X-IRMC-N, phonetic columns
    QString givenReading;    ///< reading of the given name
    QString reading;         ///< a reading not split in two (SORT-STRING, a "Yomi Name" column)
    std::optional<QString> romaji; ///< a romaji name given as such (Marlo's own CSV): becomes the entry's name
    std::vector<ContactPhone> phones; ///< in the file's order
    QStringList emails;      ///< in the file's order
    QString note;            ///< NOTE, the CSV's notes or memo column
};

/// What a reader skipped: pieces of the file it could not make sense of.
struct ContactReadReport {
    int skipped = 0;      ///< skipped pieces: lines without a colon, unknown charsets, truncated cards, bad rows, …
    QStringList reasons;  ///< what was skipped and where, the first few only ("5 行目: …")
    /// Counts one skipped piece and keeps its reason while there are few.
    void Skip(const QString& reason) {
        ++skipped;
        if (reasons.size() < 20)
            reasons.push_back(reason);
    }
};

/// The contacts of one file, in its order.
struct ContactFile {
    std::vector<Contact> contacts;
    ContactReadReport report;
};

/// The kind of a phone number as the memo names it, from the words address books
/// label it with (vCard TYPE values, CSV labels and column names: "CELL", "Mobile",
/// "work", "Business Fax", "携帯", …; any case). Empty for a label it does not know,
/// such as "VOICE" alone, so the number goes without a kind.
QString PhoneKindFromLabels(const QStringList& labels);
