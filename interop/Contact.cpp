#include "interop/Contact.h"

#include "platform/FileError.h"

#include <array>
#include <limits>

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

ContactItems::ContactItems(std::initializer_list<ContactItem> items) {
    for (const ContactItem& item : items)
        Add(item.piece, item.text, item.label.toString(), item.preferred);
}

void ContactItems::Add(MemoPiece piece, QStringView text, const QString& label, bool preferred) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max() - m_text.size())
        throw ArchiveError(ArchiveError::Kind::BadFormat, "4 GB を超える項目は読み込めません。");
    m_text += text;
    m_items.push_back({static_cast<std::uint32_t>(m_text.size()), KindOf(piece, label, preferred)});
}

ContactItem ContactItems::operator[](std::size_t i) const {
    const std::uint32_t start = i == 0 ? 0 : m_items[i - 1].end;
    const Kind& kind = m_kinds[m_items[i].kind];
    return {kind.piece, QStringView(m_text).sliced(start, m_items[i].end - start), kind.label, kind.preferred};
}

void ContactItems::SetLabel(std::size_t i, const QString& label) {
    const Kind& kind = m_kinds[m_items[i].kind];
    m_items[i].kind = KindOf(kind.piece, label, kind.preferred);
}

void ContactItems::SetPreferred(std::size_t i, bool preferred) {
    const Kind& kind = m_kinds[m_items[i].kind];
    m_items[i].kind = KindOf(kind.piece, kind.label, preferred);
}

std::uint32_t ContactItems::KindOf(MemoPiece piece, const QString& label, bool preferred) {
    // A contact has a handful of kinds; only the last few are looked through, so that
    // a card of many labels of its own stays linear (its kinds are then kept twice).
    constexpr std::size_t kLooked = 16;
    for (std::size_t i = m_kinds.size(); i > 0 && i + kLooked > m_kinds.size(); --i) {
        const Kind& kind = m_kinds[i - 1];
        if (kind.piece == piece && kind.preferred == preferred && kind.label == label)
            return static_cast<std::uint32_t>(i - 1);
    }
    m_kinds.push_back({piece, preferred, label});
    return static_cast<std::uint32_t>(m_kinds.size() - 1);
}

bool HoldsNothing(const Contact& c) {
    return (!c.romaji || c.romaji->isEmpty()) && c.formattedName.isEmpty() && c.partsName.isEmpty() &&
           c.familyName.isEmpty() && c.givenName.isEmpty() && c.familyReading.isEmpty() && c.givenReading.isEmpty() &&
           c.reading.isEmpty() && c.organization.isEmpty() && c.organizationReading.isEmpty() && c.nickname.isEmpty() &&
           !c.items.HoldsText() && c.note.isEmpty();
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
    for (std::size_t i = 0; i < contact.items.size(); ++i) {
        const ContactItem item = contact.items[i];
        if (item.piece == MemoPiece::Email && !item.text.trimmed().isEmpty())
            return {item.text.trimmed().toString(), NameSource::Email};
    }
    return {};
}
