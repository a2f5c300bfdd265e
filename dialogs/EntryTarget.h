#pragma once

#include "data/PhoneRecord.h"

#include <functional>

class QWidget;

/// The window whose result list shows the data-entry dialog's entries, as the dialog
/// sees it. The window fills it in and keeps it for as long as it lives; the dialog
/// only calls it.
struct EntryTarget {
    /// The window the dialog belongs to: it closes with it.
    QWidget* m_pWindow = nullptr;
    /// Empties the result list: while the dialog is open it shows the entries added in it.
    std::function<void()> m_fnClearRows;
    /// Lists a new entry at the top of the result list; the list's insert notification
    /// files it (the dialog's newest entry) in the phone book.
    std::function<void(const PhoneRecord& texts)> m_fnAddEntryRow;
    /// The dialog closes.
    std::function<void()> m_fnEntryDlgClosed;
};
