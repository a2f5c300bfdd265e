#include "interop/Contact.h"

#include <array>

namespace {

struct KindWord {
    const char16_t* word; ///< upper case
    const char16_t* kind;
};

// The first matching word decides, so "HOME,FAX" is a fax before it is a home number.
constexpr std::array kKindWords{
    KindWord{u"FAX", u"FAX"},          KindWord{u"ファックス", u"FAX"},  KindWord{u"PAGER", u"ポケベル"},
    KindWord{u"CELL", u"携帯"},        KindWord{u"MOBILE", u"携帯"},     KindWord{u"IPHONE", u"携帯"},
    KindWord{u"携帯", u"携帯"},        KindWord{u"HOME", u"自宅"},       KindWord{u"自宅", u"自宅"},
    KindWord{u"WORK", u"勤務先"},      KindWord{u"BUSINESS", u"勤務先"}, KindWord{u"COMPANY", u"勤務先"},
    KindWord{u"会社", u"勤務先"},      KindWord{u"勤務先", u"勤務先"},   KindWord{u"MAIN", u"代表"},
    KindWord{u"代表", u"代表"},        KindWord{u"OTHER", u"その他"},    KindWord{u"その他", u"その他"},
};

} // namespace

QString PhoneKindFromLabels(const QStringList& labels) {
    QString joined = labels.join(u' ').toUpper();
    for (const KindWord& known : kKindWords) {
        if (joined.contains(QString::fromUtf16(known.word)))
            return QString::fromUtf16(known.kind);
    }
    return {};
}

QString PhoneTypeOfKind(const QString& kind) {
    for (const KindWord& known : kKindWords) {
        const QString word = QString::fromUtf16(known.word);
        if (kind == QStringView(known.kind) && word.front().unicode() < 0x80 && PhoneKindFromLabels({word}) == kind)
            return word;
    }
    return {};
}

bool HoldsNothing(const Contact& c) {
    return (!c.romaji || c.romaji->isEmpty()) && c.formattedName.isEmpty() && c.partsName.isEmpty() &&
           c.familyName.isEmpty() && c.givenName.isEmpty() && c.familyReading.isEmpty() && c.givenReading.isEmpty() &&
           c.reading.isEmpty() && c.organization.isEmpty() && c.organizationReading.isEmpty() &&
           c.nickname.isEmpty() && c.phones.empty() && c.emails.isEmpty() && c.details.empty() && c.note.isEmpty();
}

ShownName ShownNameOf(const Contact& contact) {
    const std::pair<const QString*, NameSource> candidates[] = {
        {&contact.formattedName, NameSource::Formatted},
        {&contact.partsName, NameSource::Parts},
        {&contact.organization, NameSource::Organization},
        {&contact.nickname, NameSource::Nickname},
    };
    // FN is taken as written, blanks and all, so that an entry's name comes back as it went out.
    for (const auto& [text, source] : candidates) {
        if (source == NameSource::Formatted ? !text->isEmpty() : !text->trimmed().isEmpty())
            return {*text, source};
    }
    for (const QString& email : contact.emails) {
        if (QString trimmed = email.trimmed(); !trimmed.isEmpty())
            return {trimmed, NameSource::Email};
    }
    return {};
}
