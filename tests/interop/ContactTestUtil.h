#pragma once
// What the contact readers' tests compare: every field of the contacts read, as text.

#include "interop/Contact.h"

#include <string>
#include <vector>

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
        for (const ContactPhone& phone : c.phones)
            add(u"phone", phone.number + QStringLiteral(" (") + phone.kind +
                              (phone.preferred ? QStringLiteral(", preferred)") : QStringLiteral(")")));
        for (const QString& email : c.emails)
            add(u"email", email);
        add(u"note", c.note);
    }
    return out.toStdString();
}

/// The reasons a reader gave for what it skipped, one a line.
inline std::string Reasons(const ContactFile& file) {
    return file.report.reasons.join(u'\n').toStdString();
}
