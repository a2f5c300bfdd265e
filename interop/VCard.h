#pragma once
// vCard, the contact format of phones and address books: files of versions 2.1,
// 3.0 and 4.0 read into contacts, and phone-book entries written as vCard 3.0.

#include "data/PhoneRecord.h"
#include "interop/Contact.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>

/// Every card of a vCard file (2.1, 3.0 or 4.0; several cards per file), read as far as it
/// makes sense; what is skipped is counted in the report. Never throws on bad input.
/// With `take`, each contact goes there as it is read (see ContactFile::take).
ContactFile ReadVCards(std::string_view file, std::function<void(Contact&&)> take = {});

/// One phone-book entry appended to `out` as a vCard 3.0 card in UTF-8, lines ended by CR LF
/// and folded at 75 octets (never inside a UTF-8 sequence).
void AppendVCard(std::string& out, const PhoneRecordView& entry);

/// One text property `name` (as "NOTE") appended to `out` as AppendVCard writes it:
/// escaped, folded, in UTF-8.
void AppendVCardText(std::string& out, std::string_view name, const QString& text);

/// The entry the one card `card` makes, as an import makes it; none when `card` is not
/// one readable card or makes an entry without any text.
std::optional<PhoneRecord> EntryOfVCard(std::string_view card);

/// `card` (one card as another program wrote it) changed to show `entry`: only what
/// the entry shows differently is rewritten (the name with its readings, the number
/// the entry showed, the note), and every other property stays as it stood, photos,
/// addresses, groups and unknown properties included. The result reads back as `entry`
/// (one with a romaji name: a card read without one gets it from the dictionary):
/// where the card's other properties would make a different entry (an address's memo
/// line changed in the book), it is written afresh from the entry, keeping only the
/// properties that change nothing the entry shows.
std::string PatchVCard(std::string_view card, const PhoneRecordView& entry);
