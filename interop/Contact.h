#pragma once
// A contact as address books and phones write it, between their files and the
// phone book: Unicode text, read from a vCard or a CSV file before it becomes an
// entry of code page 932 bytes (see ContactImport.h).

#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

/// A piece of a contact that its entry's memo shows on a line of its own.
enum class MemoPiece : unsigned char { Phone, Email, Detail, Organization, Nickname };

/// A number, an e-mail or a detail of a contact, as ContactItems holds it; or the place
/// of the company or the nickname, without a text.
struct ContactItem {
    MemoPiece piece = MemoPiece::Detail;
    QStringView text;       ///< the number, the address, the detail
    /// As the memo shows it: a number's kind ("携帯", "自宅", "FAX", … or empty), a
    /// detail's label ("住所", "役職", "URL", …).
    QStringView label;
    bool preferred = false; ///< a number marked preferred (vCard PREF, TYPE=pref or PREF=1)
};

/// The numbers, e-mails and details of a contact, and the places of its company and
/// nickname, in the order the file has them (a CSV: its columns' order). Their texts
/// stand one after another in one string, and each item's kind (piece, label and
/// preference) is one of a few the contact has: a card of a million numbers takes
/// a few bytes a number, not an object each.
class ContactItems {
public:
    ContactItems() = default;
    /// These items, in this order.
    ContactItems(std::initializer_list<ContactItem> items);

    /// Appends an item. Throws ArchiveError when the texts would pass 4 G characters.
    void Add(MemoPiece piece, QStringView text = {}, const QString& label = {}, bool preferred = false);
    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    /// False when no item has a text: none, or only the places of a company and a nickname.
    bool HoldsText() const { return !m_text.isEmpty(); }
    /// The i-th item; its views hold while the items stay as they are.
    ContactItem operator[](std::size_t i) const;
    /// The i-th item's label or preference, which a card may give after the number.
    void SetLabel(std::size_t i, const QString& label);
    void SetPreferred(std::size_t i, bool preferred);

private:
    struct Kind {
        MemoPiece piece;
        bool preferred;
        QString label;
    };
    struct Packed {
        std::uint32_t end;  ///< where the item's text ends in m_text
        std::uint32_t kind; ///< in m_kinds
    };
    std::uint32_t KindOf(MemoPiece piece, const QString& label, bool preferred);

    QString m_text;
    std::vector<Packed> m_items;
    std::vector<Kind> m_kinds;
};

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
    /// The numbers, e-mails and details (addresses, titles, web pages, birthdays), and
    /// where the company and the nickname stand among them; a company or nickname
    /// without its place follows them, the company first.
    ContactItems items;
    QString note;            ///< NOTE, the CSV's notes or memo column
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
