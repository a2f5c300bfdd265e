#pragma once
// An entry's name and memo in the parts contact files keep them in: family and given
// name, the reading in katakana, and the further numbers and e-mails an import put in
// the memo. The writers of vCard and CSV share them, so that what they write reads back
// as the same entry.

#include "interop/Contact.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

/// True when every letter of `name` is a Latin one (and it has one).
bool IsLatinName(const QString& name);

/// A name's parts as N and the name columns keep them.
struct NameParts {
    QString family, given, prefix, suffix;
};

/// A name in its parts. A Japanese name is family name first; one in Latin letters is
/// written the Western way, given names first, between any titles and suffixes.
NameParts SplitName(const QString& name);

/// The reading of the entry named `name` from its romaji name, family (the romaji's first
/// word) and given (the rest): each part in katakana when that reads back as the same
/// romaji, else the romaji itself. None for a name in Latin letters, which phones file
/// under its letters.
struct PhoneticParts {
    QString family, given;
};
PhoneticParts PhoneticOf(const QString& name, const QString& romaji);

/// A line of an entry's memo under a label other than a number's or an e-mail's.
struct ContactDetail {
    QString label; ///< as the memo shows it: "住所", "役職", "URL", "誕生日", …
    QString text;
};

/// An entry's memo as the import made it: its first lines the further numbers
/// ("携帯: 090-…"), the e-mails ("メール: …") and the details ("役職: …"), which go out
/// as numbers, e-mails and details again, and the rest, which goes out as the note.
/// Only lines that read back the same are taken: none where the entry has no number
/// (`takePhones`) or no name (`takeEmails`), as the first would become them; `fits`
/// (kind, number) may stop the numbers where a file has no place for one, and
/// `maxEmails` the e-mails. With `takeDetail` (label, text), which says whether a
/// detail has a place of its own, numbers, e-mails and those details come in any
/// order, as a vCard writes each property where it stands; without it the numbers
/// come first, then the e-mails, as CSV columns hold them.
struct MemoParts {
    std::vector<std::pair<QString, QString>> phones; ///< vCard TYPE (empty for none) and number
    std::vector<QString> kinds;                      ///< each number's kind as the memo names it
    QStringList emails;
    std::vector<ContactDetail> details; ///< the lines `takeDetail` took
    std::vector<MemoPiece> order;       ///< what each line taken is, in the memo's order
    QString note;
};
MemoParts SplitMemo(const QString& memo, bool takePhones, bool takeEmails,
                    const std::function<bool(const QString&, const QString&)>& fits = {},
                    qsizetype maxEmails = std::numeric_limits<qsizetype>::max(),
                    const std::function<bool(const QString&, const QString&)>& takeDetail = {});
