#pragma once
// What the contact readers' tests compare: every field of the contacts read, as text.

#include "interop/Contact.h"

#include <string>
#include <vector>

/// A number or an e-mail of a contact, for the contacts a test expects.
inline ContactItem Phone(QStringView number, QStringView kind = {}, bool preferred = false) {
    return {MemoPiece::Phone, number, kind, preferred};
}
inline ContactItem Email(QStringView address) {
    return {MemoPiece::Email, address, {}, false};
}

/// Every field of the contacts, one line each (line breaks and NULs shown escaped), so
/// that a failure shows what differs.
inline std::string Describe(const std::vector<Contact>& contacts) {
    QString out;
    auto add = [&out](QStringView label, const QString& value) {
        if (value.isEmpty())
            return;
        QString shown = value;
        shown.replace(u'\n', QStringLiteral("\\n")).replace(QChar(u'\0'), QStringLiteral("\\0"));
        out += label.toString() + QStringLiteral(": ") + shown + u'\n';
    };
    for (const Contact& c : contacts) {
        out += QStringLiteral("--\n");
        if (c.romaji)
            out += QStringLiteral("romaji: [") + *c.romaji + QStringLiteral("]\n");
        add(u"name", ShownNameOf(c).text);
        add(u"family", c.familyName);
        add(u"given", c.givenName);
        add(u"family reading", c.familyReading);
        add(u"given reading", c.givenReading);
        add(u"reading", c.reading);
        for (const MemoPiece piece : {MemoPiece::Phone, MemoPiece::Email}) // the numbers first, as before
            for (std::size_t i = 0; i < c.items.size(); ++i) {
                const ContactItem item = c.items[i];
                if (item.piece == piece && piece == MemoPiece::Phone)
                    add(u"phone",
                        QStringLiteral("%1 (%2%3)").arg(item.text, item.label, item.preferred ? u", preferred" : u""));
                else if (item.piece == piece)
                    add(u"email", item.text.toString());
            }
        add(u"note", c.note);
    }
    return out.toStdString();
}

/// The reasons a reader gave for what it skipped, one a line.
inline std::string Reasons(const ContactFile& file) {
    return file.report.reasons.join(u'\n').toStdString();
}
