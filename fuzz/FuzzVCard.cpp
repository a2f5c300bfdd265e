// The bytes as a vCard file. Reading never fails outright: it gives contacts and
// a count of what it skipped. Every text it gives must be sound UTF-16 with line
// breaks as "\n", and a contact kept as a phone-book entry, written as a card and
// read again, must come back as that one contact. A card of one contact changed in
// the book (a sync's patch) must read back as the changed entry.

#include "FuzzSupport.h"

#include "interop/ContactImport.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"

namespace {

bool Sound(const QString& text) {
    return text.isValidUtf16() && !text.contains(u'\r');
}

bool SoundContact(const Contact& c) {
    bool sound = Sound(c.formattedName) && Sound(c.familyName) && Sound(c.givenName) && Sound(c.familyReading) &&
                 Sound(c.givenReading) && Sound(c.reading) && Sound(c.note);
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        const ContactItem item = c.items[i];
        const bool place = item.piece == MemoPiece::Organization || item.piece == MemoPiece::Nickname;
        sound = sound && item.text.isEmpty() == place && Sound(item.text.toString()) && Sound(item.label.toString());
    }
    return sound;
}

/// The contact's first number; empty when it has none.
QString FirstPhone(const Contact& c) {
    for (std::size_t i = 0; i < c.items.size(); ++i)
        if (c.items[i].piece == MemoPiece::Phone)
            return c.items[i].text.toString();
    return {};
}

/// `text` as code page 932 bytes, or nothing when it holds a character that cannot be.
std::string Bytes(const QString& text) {
    Cp932Encoded encoded = UnicodeToCp932(text);
    return encoded.ok() ? std::move(encoded.bytes) : std::string();
}

void CheckWrittenBack(const Contact& contact) {
    QString note = contact.note;
    note.replace(u'\n', QStringLiteral("\r\n"));
    const PhoneRecord entry{Bytes(contact.reading), Bytes(contact.formattedName), Bytes(FirstPhone(contact)),
                            Bytes(note)};
    std::string card;
    AppendVCard(card, entry);
    for (std::size_t start = 0; start < card.size();) {
        const std::size_t end = card.find("\r\n", start);
        Check(end != std::string::npos && end - start <= 75, "written lines end in CR LF within 75 octets");
        start = end + 2;
    }
    const ContactFile again = ReadVCards(card);
    const bool empty =
        entry.m_strRomaji.empty() && entry.m_strKanji.empty() && entry.m_strPhone.empty() && entry.m_strMemo.empty();
    if (empty) {
        Check(again.contacts.empty() && again.report.skipped == 1, "an empty entry writes a card read as empty");
        return;
    }
    Check(again.contacts.size() == 1 && again.report.skipped == 0, "a written entry reads back as one contact");
    const Contact& back = again.contacts[0];
    Check(back.formattedName == Cp932ToUnicode(entry.m_strKanji), "the name reads back");
    Check(back.reading == Cp932ToUnicode(entry.m_strRomaji), "the romaji name reads back");
    Check(FirstPhone(back) == Cp932ToUnicode(entry.m_strPhone), "the phone reads back first");
    // The memo's further numbers and e-mails went out as TEL and EMAIL: the entry's memo comes back whole.
    Check(EntryFromContact(back).record.m_strMemo == entry.m_strMemo, "the memo reads back");
}

// One change of the entry a card makes, picked by the input, patched into the card.
void CheckPatched(std::string_view card, std::size_t pick) {
    const std::optional<PhoneRecord> was = EntryOfVCard(card);
    if (!was)
        return;
    PhoneRecord entry = *was;
    switch (pick % 4) {
    case 0:
        entry.m_strPhone = "03-1234-5678";
        break;
    case 1:
        entry.m_strKanji = "\x8e\x52\x93\x63 \x91\xbe\x98\x59"; // 山田 太郎
        entry.m_strRomaji = "yamada tarou";
        break;
    case 2:
        entry.m_strMemo += entry.m_strMemo.empty() ? "memo" : "\r\nmemo";
        break;
    default:
        entry.m_strMemo.clear();
        break;
    }
    // No card holds an entry without any text, nor one without a romaji name: reading
    // a card gives its name one, from the dictionary where the card has no reading.
    if (!entry.m_strRomaji.empty())
        Check(EntryOfVCard(PatchVCard(card, entry)) == entry, "a patched card reads back as the changed entry");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const ContactFile file = ReadVCards(input);
    const ContactReadReport& report = file.report;
    Check(qsizetype{report.skipped} >= report.reasons.size() && report.reasons.size() <= 20,
          "reasons kept for the first skips");
    Check(file.contacts.size() <= size / 8, "no more contacts than the bytes can hold");
    for (const QString& reason : report.reasons)
        Check(reason.contains(QStringLiteral(" 行目: ")), "a reason names its line");
    for (std::size_t i = 0; i < file.contacts.size(); ++i) {
        Check(SoundContact(file.contacts[i]), "texts are sound, line breaks as \\n, no empty number or address");
        if (i < 4)
            CheckWrittenBack(file.contacts[i]);
    }
    if (file.contacts.size() == 1)
        CheckPatched(input, size);
    return 0;
}
