#include "interop/VCard.h"

#include "interop/ContactImport.h"
#include "platform/Cp932.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace {

// One property of a card: its lines as they stand (folds kept, each ended by CR LF)
// and its name in capitals without a group ("item1.TEL" is "TEL").
struct Property {
    std::string text;
    std::string name;
};

std::string NameOf(std::string_view line) {
    const std::size_t end = std::min(line.find(':'), line.find(';'));
    std::string_view name = line.substr(0, end);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    std::string upper(name);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

bool IsQuotedPrintable(std::string_view head) {
    std::string upper(head);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper.find("QUOTED-PRINTABLE") != std::string::npos;
}

// The properties of a card in their order: a line that starts with a blank continues
// the one before, as does the line after a quoted-printable soft break ("=" at the end).
std::vector<Property> Properties(std::string_view card) {
    std::vector<Property> properties;
    bool bSoftBreak = false;
    while (!card.empty()) {
        std::size_t end = card.find_first_of("\r\n");
        const std::string_view line = card.substr(0, end);
        // Every line end: CR LF, LF, CR, and CR CR LF.
        if (end == std::string_view::npos)
            end = card.size();
        else if (card.substr(end, 3) == "\r\r\n")
            end += 3;
        else if (card.substr(end, 2) == "\r\n")
            end += 2;
        else
            ++end;
        card.remove_prefix(end);
        const bool bContinues = !properties.empty() && (bSoftBreak || (!line.empty() && (line[0] == ' ' || line[0] == '\t')));
        if (bContinues) {
            properties.back().text.append(line).append("\r\n");
        } else if (!line.empty()) {
            properties.push_back({std::string(line) + "\r\n", NameOf(line)});
        }
        const std::string_view head = properties.empty() ? std::string_view() : std::string_view(properties.back().text);
        bSoftBreak = !line.empty() && line.back() == '=' && IsQuotedPrintable(head.substr(0, head.find(':')));
    }
    return properties;
}

std::string Joined(const std::vector<Property>& properties) {
    std::string card;
    for (const Property& p : properties)
        card += p.text;
    return card;
}

bool IsNameProperty(const Property& p) {
    static constexpr std::string_view kNames[] = {"FN", "N", "X-PHONETIC-LAST-NAME", "X-PHONETIC-FIRST-NAME",
                                                  "SORT-STRING"};
    if (std::find(std::begin(kNames), std::end(kNames), p.name) != std::end(kNames))
        return true;
    // 2.1 handsets keep the name's reading as SOUND;X-IRMC-N.
    std::string upper = p.text.substr(0, p.text.find(':'));
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return p.name == "SOUND" && upper.find("X-IRMC-N") != std::string::npos;
}

std::vector<std::size_t> IndicesOf(const std::vector<Property>& properties, const auto& pred) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < properties.size(); ++i)
        if (pred(properties[i]))
            found.push_back(i);
    return found;
}

// `card` with the properties at `drop` left out and `insert` put where the first of
// them stood (or before END when there were none).
std::vector<Property> Replaced(const std::vector<Property>& card, const std::vector<std::size_t>& drop,
                               const std::vector<Property>& insert) {
    std::vector<Property> out;
    const std::size_t at = drop.empty() ? card.size() - 1 : drop.front();
    for (std::size_t i = 0; i < card.size(); ++i) {
        if (i == at)
            out.insert(out.end(), insert.begin(), insert.end());
        if (std::find(drop.begin(), drop.end(), i) == drop.end())
            out.push_back(card[i]);
    }
    return out;
}

// The NOTE that holds `text` (code page 932 bytes), as the writer writes one.
Property NoteProperty(std::string_view text) {
    std::string line;
    AppendVCardText(line, "NOTE", Cp932ToUnicode(text));
    return {std::move(line), "NOTE"};
}

} // namespace

std::optional<PhoneRecord> EntryOfVCard(std::string_view card) {
    const ContactFile file = ReadVCards(card);
    if (file.contacts.size() != 1)
        return std::nullopt;
    PhoneRecord entry = EntryFromContact(file.contacts.front()).record;
    // A card whose every text was skipped (an unknown charset) makes no entry.
    if (entry == PhoneRecord{})
        return std::nullopt;
    return entry;
}

std::string PatchVCard(std::string_view card, const PhoneRecordView& entry) {
    const PhoneRecord want = entry.ToRecord();
    std::string fresh;
    AppendVCard(fresh, entry);
    const std::vector<Property> old = Properties(card);
    const std::optional<PhoneRecord> was = EntryOfVCard(card);
    if (!was || old.size() < 2 || old.front().name != "BEGIN" || old.back().name != "END")
        return fresh;
    if (*was == want)
        return std::string(card);
    const std::vector<Property> made = Properties(fresh);
    const auto reads = [&](const std::vector<Property>& c) { return EntryOfVCard(Joined(c)) == want; };

    // The name, with its readings.
    std::vector<Property> patched = old;
    if (was->m_strRomaji != want.m_strRomaji || was->m_strKanji != want.m_strKanji) {
        std::vector<Property> names;
        std::copy_if(made.begin(), made.end(), std::back_inserter(names), IsNameProperty);
        patched = Replaced(patched, IndicesOf(patched, IsNameProperty), names);
    }
    // The first number: the number the entry showed gets the new one, its kind kept.
    if (was->m_strPhone != want.m_strPhone) {
        const auto isTel = [](const Property& p) { return p.name == "TEL"; };
        const std::vector<std::size_t> tels = IndicesOf(patched, isTel);
        const auto madeTel = std::find_if(made.begin(), made.end(), isTel);
        std::vector<Property> best;
        for (const std::size_t i : tels) {
            std::vector<Property> tried = patched;
            if (madeTel == made.end()) {
                tried.erase(tried.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                const std::string& head = patched[i].text;
                const std::string& value = madeTel->text;
                tried[i].text = head.substr(0, head.find(':')) + value.substr(value.find(':'));
            }
            const std::optional<PhoneRecord> got = EntryOfVCard(Joined(tried));
            if (got && got->m_strPhone == want.m_strPhone) {
                best = std::move(tried);
                break;
            }
        }
        if (!best.empty())
            patched = std::move(best);
        else if (tels.empty() && madeTel != made.end())
            patched = Replaced(patched, {}, {*madeTel});
    }
    // The note: the memo is what the card's other properties make, with the note among
    // them; a mark in the note's place tells where it stands. (The bytes around the mark
    // begin and end at characters: what follows it starts with a line break, which is
    // never the second byte of a character.)
    if (!reads(patched)) {
        constexpr std::string_view mark = "MARLO-NOTE-8C1F3A";
        const std::vector<std::size_t> notes = IndicesOf(patched, [](const Property& p) { return p.name == "NOTE"; });
        const std::optional<PhoneRecord> got = EntryOfVCard(Joined(Replaced(patched, notes, {NoteProperty(mark)})));
        const std::string_view memo = got ? std::string_view(got->m_strMemo) : std::string_view();
        const std::string_view wanted = want.m_strMemo;
        const std::size_t at = memo.find(mark);
        if (at != std::string_view::npos && memo.find(mark, at + 1) == std::string_view::npos) {
            const std::string_view before = memo.substr(0, at);
            const std::string_view after = memo.substr(at + mark.size());
            if (wanted.size() >= before.size() + after.size() && wanted.starts_with(before) && wanted.ends_with(after)) {
                const std::string_view note = wanted.substr(before.size(), wanted.size() - before.size() - after.size());
                std::vector<Property> withNote = Replaced(patched, notes, {NoteProperty(note)});
                if (reads(withNote))
                    return Joined(withNote);
            }
            // No note at all: the lines around it close up.
            std::vector<Property> without = Replaced(patched, notes, {});
            if (reads(without))
                return Joined(without);
        }
    }
    if (reads(patched))
        return Joined(patched);

    // The book's entry no longer matches what the card's other properties would show
    // (a line of an address taken out of the memo): the card is written afresh, keeping
    // each property that changes nothing the entry shows (photos, groups, unknown ones).
    std::vector<Property> rebuilt = made;
    for (const Property& p : old) {
        if (p.name == "BEGIN" || p.name == "END" || p.name == "VERSION")
            continue;
        std::vector<Property> tried = rebuilt;
        tried.insert(tried.end() - 1, p);
        if (reads(tried))
            rebuilt = std::move(tried);
    }
    return Joined(rebuilt);
}
