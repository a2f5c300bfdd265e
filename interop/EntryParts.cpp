#include "interop/EntryParts.h"

#include "interop/Contact.h"
#include "interop/Romaji.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <string_view>

namespace {

bool IsOneOf(const QString& word, std::initializer_list<std::u16string_view> words) {
    return std::any_of(words.begin(), words.end(),
                       [&word](std::u16string_view w) { return word.compare(QStringView(w), Qt::CaseInsensitive) == 0; });
}

/// `part` of a romaji name in katakana when that reads back as it (and code page 932
/// holds it: ICU writes "va" as ヷ), else as it is.
QString PhoneticPart(const QString& part) {
    const QString katakana = KatakanaFromRomaji(part);
    const bool back = QString::fromStdString(RomajiFromReading(katakana)) == part && UnicodeToCp932(katakana).ok();
    return back ? katakana : part;
}

} // namespace

bool IsLatinName(const QString& name) {
    bool letters = false;
    for (const QChar c : name) {
        if (!c.isLetter())
            continue;
        if (c.script() != QChar::Script_Latin)
            return false;
        letters = true;
    }
    return letters;
}

NameParts SplitName(const QString& name) {
    QString spaced = name;
    spaced.replace(QChar(0x3000), u' ');
    QStringList words = spaced.split(u' ', Qt::SkipEmptyParts);
    NameParts parts;
    if (words.isEmpty())
        return parts;
    if (!IsLatinName(name)) {
        parts.family = words.takeFirst();
        parts.given = words.join(u' ');
        return parts;
    }
    QStringList prefixes, suffixes;
    while (words.size() > 1 && IsOneOf(words.front(), {u"Dr", u"Dr.", u"Mr", u"Mr.", u"Mrs", u"Mrs.", u"Ms", u"Ms.",
                                                       u"Miss", u"Prof", u"Prof."}))
        prefixes.push_back(words.takeFirst());
    while (words.size() > 1 && IsOneOf(words.back(), {u"Jr", u"Jr.", u"Sr", u"Sr.", u"II", u"III", u"IV", u"PhD",
                                                      u"Ph.D.", u"MD", u"M.D.", u"Esq", u"Esq."}))
        suffixes.push_front(words.takeLast());
    parts.family = words.takeLast();
    parts.given = words.join(u' ');
    parts.prefix = prefixes.join(u' ');
    parts.suffix = suffixes.join(u' ');
    return parts;
}

MemoParts SplitMemo(const QString& memo, bool takePhones, bool takeEmails,
                    const std::function<bool(const QString&, const QString&)>& fits, qsizetype maxEmails,
                    const std::function<bool(const QString&, const QString&)>& takeDetail) {
    MemoParts parts;
    const QStringList lines = memo.split(QStringLiteral("\r\n"));
    // A line "label: value" whose value reads back as it is, or false.
    const auto take = [&](const QString& line) {
        const qsizetype colon = line.indexOf(QStringLiteral(": "));
        if (colon <= 0)
            return false;
        const QString label = line.left(colon), value = line.mid(colon + 2);
        if (value.isEmpty() || value != value.trimmed())
            return false;
        if (const QString type = PhoneTypeOfKind(label); !type.isEmpty() || label == u"電話") {
            // Without takeDetail the numbers come before the e-mails, as in the CSV columns.
            if (!takePhones || (!takeDetail && !parts.emails.isEmpty()) || (fits && !fits(label, value)))
                return false;
            parts.phones.emplace_back(type, value);
            parts.kinds.push_back(label);
            parts.order.push_back(MemoPiece::Phone);
        } else if (label == u"メール") {
            if (!takeEmails || parts.emails.size() >= maxEmails)
                return false;
            parts.emails.push_back(value);
            parts.order.push_back(MemoPiece::Email);
        } else if (takeDetail && takeDetail(label, value)) {
            parts.details.push_back({label, value});
            parts.order.push_back(MemoPiece::Detail);
        } else {
            return false;
        }
        return true;
    };
    qsizetype at = 0;
    while (at < lines.size() && take(lines[at]))
        ++at;
    // A line break after the last line taken would be lost with an empty note: that line stays in it.
    if (at == lines.size() - 1 && lines[at].isEmpty() && at > 0) {
        --at;
        switch (parts.order.back()) {
        case MemoPiece::Phone:
            parts.phones.pop_back();
            parts.kinds.pop_back();
            break;
        case MemoPiece::Email:
            parts.emails.removeLast();
            break;
        default:
            parts.details.pop_back();
            break;
        }
        parts.order.pop_back();
    }
    if (at < lines.size())
        parts.note = lines.mid(at).join(QStringLiteral("\r\n"));
    return parts;
}

PhoneticParts PhoneticOf(const QString& name, const QString& romaji) {
    PhoneticParts parts;
    if (IsLatinName(name))
        return parts;
    const qsizetype space = romaji.indexOf(u' ');
    parts.family = PhoneticPart(space < 0 ? romaji : romaji.left(space));
    if (space >= 0)
        parts.given = PhoneticPart(romaji.mid(space + 1));
    return parts;
}
