#pragma once
// What the user does to one entry from the result list: look at it, change it,
// delete it. Each starts from the row at the list's selection mark and finds
// the row's record by its four texts.

#include "data/PhoneRecord.h"

class CListCtrl;
class EntryHistory;

/// The four texts of row `nItem`, whole.
PhoneRecord ReadRow(const CListCtrl& list, int nItem);

/// Shows the row in the display dialog; nothing changes, whatever is typed there.
void DisplayEntry(const CListCtrl& list);

/// Edits the row's record in the modify dialog: after OK the record is replaced by
/// what the dialog holds, filed at its sorted place, and the row shows the new texts
/// where it stood. The change is a step of `history`, as is a delete.
void ModifyEntry(EntryHistory& history, CListCtrl& list);

/// What ModifyEntry does after OK: the record whose texts are `key` is replaced by
/// `texts`, filed at its sorted place, and row `nItem` shows `texts`. False, with
/// nothing changed, when the phone book holds no such record.
bool ReplaceRowEntry(EntryHistory& history, CListCtrl& list, int nItem, const PhoneRecord& key,
                     const PhoneRecord& texts);

/// Deletes the row's record from the phone book and the row from the list.
void DeleteEntry(EntryHistory& history, CListCtrl& list);
