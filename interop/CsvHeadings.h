#pragma once
// The column headings of the contact CSV files people export (Marlo's own, Google
// Contacts', Outlook's and Thunderbird's, in English and in Japanese): what each
// column holds, looked up by a loosened form of its heading.

#include <QHash>
#include <QString>
#include <QStringView>
#include <cstddef>

namespace CsvHeadings {

/// What a column holds.
enum class Field : unsigned char {
    Unused, ///< a known heading whose cells have no place in a contact (an e-mail address's label)
    Romaji,
    FormattedName,
    Family,
    Given,
    Middle,
    FamilyReading,
    GivenReading,
    MiddleReading,
    Reading,
    Prefix,
    Suffix,
    Nickname,
    Organization,
    OrganizationReading,
    Note,
    Phone,          ///< one number; its kind from the heading
    PreferredPhone, ///< the same, marked preferred
    PhoneLabel,     ///< "Phone N - Label": the kind of "Phone N - Value", "* " marking it preferred
    PhoneValue,     ///< numbers separated by " ::: "
    Email,          ///< one address
    EmailValue,     ///< addresses separated by " ::: "
    Detail,         ///< a piece of a memo line: the columns of one label and group make one line
};
constexpr std::size_t kFieldCount = static_cast<std::size_t>(Field::Detail) + 1;

/// The memo's label of a birthday, whose columns join with '-'.
inline constexpr const char16_t* kBirthday = u"誕生日";

/// A heading as it is looked up: blanks gone, full-width parentheses half-width,
/// case folded, and its number (one run of up to three digits) replaced by '#'.
/// Empty when it cannot be a known heading. (A byte-order mark before a heading is
/// gone already: decoding UTF-8 drops it.)
struct HeadingKey {
    QString key;
    unsigned number = 0;
};

HeadingKey MakeHeadingKey(QStringView text);

struct HeadingMeaning {
    Field field = Field::Unused;
    const char16_t* kindWords = nullptr;
    unsigned char group = 0;
    unsigned short rank = 0; ///< its place in the table: a group's pieces stand in this order
};

/// The meaning of every known heading, by its HeadingKey's key.
const QHash<QString, HeadingMeaning>& KnownHeadingTable();

} // namespace CsvHeadings
