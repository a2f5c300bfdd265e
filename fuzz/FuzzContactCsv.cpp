// The bytes as a contacts CSV file. Reading fails only with the refusal of a file
// that is no contacts CSV; else it gives contacts and counts what it skips. What it reads as the first contact, written back as an
// entry's row in either encoding, must read back as that same entry.

#include "FuzzSupport.h"

#include "interop/ContactCsv.h"
#include "platform/Cp932.h"
#include "platform/FileError.h"

namespace {

/// The contact's first number and how many it has.
QString FirstPhone(const Contact& c, std::size_t* count = nullptr) {
    QString first;
    std::size_t n = 0;
    for (std::size_t i = 0; i < c.items.size(); ++i)
        if (c.items[i].piece == MemoPiece::Phone && n++ == 0)
            first = c.items[i].text.toString();
    if (count)
        *count = n;
    return first;
}

// The entry the first contact would make when its texts are taken as the four
// columns, or nothing when code page 932 cannot hold them.
std::optional<PhoneRecord> EntryOf(const Contact& contact) {
    QString memo = contact.note;
    memo.replace(u'\n', QStringLiteral("\r\n"));
    const QString texts[] = {contact.romaji.value_or(QString()), contact.formattedName, FirstPhone(contact), memo};
    std::string bytes[4];
    for (int i = 0; i < 4; ++i) {
        Cp932Encoded encoded = UnicodeToCp932(texts[i]);
        if (!encoded.ok())
            return std::nullopt;
        bytes[i] = std::move(encoded.bytes);
    }
    return PhoneRecord{bytes[0], bytes[1], bytes[2], bytes[3]};
}

void CheckRoundTrip(const PhoneRecord& entry, CsvEncoding encoding) {
    std::string file;
    AppendCsvHeading(file, encoding);
    AppendCsvRow(file, entry, encoding);
    const ContactFile back = ReadContactCsv(file);
    Check(back.report.skipped == 0, "a written row reads without skips");
    if (entry == PhoneRecord{}) {
        Check(back.contacts.empty(), "an empty entry writes a blank row");
        return;
    }
    Check(back.contacts.size() == 1, "a written row reads as one contact");
    const std::optional<PhoneRecord> again = EntryOf(back.contacts.front());
    Check(again.has_value(), "a written entry reads back in code page 932");
    Check(*again == entry, "a written entry reads back equal");
    std::size_t phones = 0;
    FirstPhone(back.contacts.front(), &phones);
    Check(phones == (entry.m_strPhone.empty() ? 0u : 1u), "one phone or none");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ContactFile file;
    try {
        file = ReadContactCsv(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const ArchiveError& e) {
        Check(e.kind() == ArchiveError::Kind::BadFormat, "only the refusal of what is no contacts CSV");
        return 0;
    }
    Check(file.report.reasons.size() == std::min<qsizetype>(file.report.skipped, 20), "the first reasons are kept");
    if (file.contacts.empty())
        return 0;
    const std::optional<PhoneRecord> entry = EntryOf(file.contacts.front());
    if (!entry)
        return 0;
    CheckRoundTrip(*entry, CsvEncoding::Utf8WithBom);
    CheckRoundTrip(*entry, CsvEncoding::Cp932);
    return 0;
}
