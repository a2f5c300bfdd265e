#pragma once
// A contact as address books and phones write it, between their files and the
// phone book: Unicode text, read from a vCard or a CSV file before it becomes an
// entry of code page 932 bytes (see ContactImport.h).

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

/// One telephone number of a contact.
struct ContactPhone {
    QString number;
    QString kind;           ///< what the number is, as the memo shows it: "携帯", "自宅", "勤務先", "FAX", … or empty
    bool preferred = false; ///< marked preferred (vCard PREF, TYPE=pref or PREF=1)
};

/// Something else a contact holds, which the entry keeps in its memo under a label.
struct ContactDetail {
    QString label; ///< as the memo shows it: "住所", "役職", "URL", "誕生日", …
    QString text;
};

/// A piece of a contact that its entry's memo shows on a line of its own.
enum class MemoPiece : unsigned char { Phone, Email, Detail, Organization, Nickname };

/// One contact, every text as the file had it (line breaks as "\n").
struct Contact {
    QString formattedName;   ///< the name as the user sees it: FN, or the CSV's display-name column
    QString partsName;       ///< the name from its parts: N's family and given (CSV: prefix, last, middle, first, suffix)
    QString familyName;      ///< N's family name (CSV: last name)
    QString givenName;       ///< N's given name (CSV: first name)
    QString familyReading;   ///< reading of the family name: X-PHONETIC-LAST-NAME, SORT-AS, X-IRMC-N, phonetic columns
    QString givenReading;    ///< reading of the given name
    QString reading;         ///< a reading not split in two (SORT-STRING, a "Yomi Name" column)
    std::optional<QString> romaji; ///< a romaji name given as such (Marlo's own CSV): becomes the entry's name
    QString organization;    ///< ORG's company name, the CSV's company column
    QString organizationReading; ///< its reading: X-PHONETIC-ORG, a phonetic company column
    QString nickname;        ///< NICKNAME, the CSV's nickname column
    std::vector<ContactPhone> phones; ///< in the file's order
    QStringList emails;      ///< in the file's order
    std::vector<ContactDetail> details; ///< addresses, titles, web pages, birthdays, in the file's order
    QString note;            ///< NOTE, the CSV's notes or memo column
    /// The order the file had the numbers, e-mails, details, company and nickname in (a
    /// CSV: its columns' order): the n-th Phone is phones[n], and so on. What it does not
    /// list follows in the order of that enum.
    std::vector<MemoPiece> order;
};

/// True when the contact holds nothing an entry could show.
bool HoldsNothing(const Contact& contact);

/// Where the name an entry shows comes from: the first of these the contact has.
enum class NameSource { None, Formatted, Parts, Organization, Nickname, Email };

struct ShownName {
    QString text; ///< as the file has it (an e-mail trimmed); empty for NameSource::None
    NameSource source = NameSource::None;
};

/// The name an entry shows, by one rule for every file: FN (or the display-name column),
/// else the name from its parts, else the company, else the nickname, else the first e-mail.
ShownName ShownNameOf(const Contact& contact);

/// What a reader skipped: pieces of the file it could not make sense of.
struct ContactReadReport {
    int skipped = 0;      ///< skipped pieces: lines without a colon, unknown charsets, truncated cards, bad rows, …
    int notText = 0;      ///< properties left out because they are no text: photos, logos, sounds, keys
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
    /// When set, each contact goes here as soon as it is read, instead of into `contacts`:
    /// a large file then never holds all its contacts at once.
    std::function<void(Contact&&)> take;

    void Add(Contact&& contact) {
        if (take)
            take(std::move(contact));
        else
            contacts.push_back(std::move(contact));
    }
};

/// The kind of a phone number as the memo names it, from the words address books
/// label it with (vCard TYPE values, CSV labels and column names: "CELL", "Mobile",
/// "work", "Business Fax", "携帯", …; any case). Empty for a label it does not know,
/// such as "VOICE" alone, so the number goes without a kind.
QString PhoneKindFromLabels(const QStringList& labels);

/// The vCard TYPE that reads back as `kind` ("携帯" → "CELL"); empty for a kind no
/// TYPE word gives ("電話", a label of the user's own).
QString PhoneTypeOfKind(const QString& kind);
