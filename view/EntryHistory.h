#pragma once
// Undo and redo of the changes the window makes to entries: add, modify, delete.

#include "data/PhoneRecord.h"

#include <QUndoStack>

#include <cstddef>

class CMarloDoc;

/// The steps of the open phone book that can be undone. Each goes through the document's
/// own change functions, so that the searches' rows follow, and each undo puts the book
/// back byte for byte: a record returns to the very place it stood, also among records
/// of an equal name. The document is unmodified exactly at the step where it was last
/// opened or saved.
class EntryHistory {
public:
    explicit EntryHistory(CMarloDoc& doc) : m_doc(doc) {}
    EntryHistory(const EntryHistory&) = delete;
    EntryHistory& operator=(const EntryHistory&) = delete;

    CMarloDoc& Doc() const { return m_doc; }

    /// Files a copy of `record` as CMarloDoc::AddEntry does; returns its index.
    std::size_t Add(const PhoneRecord& record);
    /// Replaces the record at `index` as CMarloDoc::ReplaceEntry does; returns the new index.
    std::size_t Replace(std::size_t index, const PhoneRecord& record);
    /// Removes the record at `index`.
    void Remove(std::size_t index);

    /// Undoes the last step still done; false when there is none.
    bool Undo();
    /// Does again the last step undone; false when there is none.
    bool Redo();
    bool CanUndo() const { return m_stack.canUndo(); }
    bool CanRedo() const { return m_stack.canRedo(); }

    /// Forgets every step: for another phone book, and after a change of the book made
    /// outside the history (an import), which the steps before it cannot see past.
    void Clear() { m_stack.clear(); }

private:
    /// The document tells whether it was saved (or opened) since the last step: the
    /// step the history stands at is then the one that matches the file.
    void FollowDocument();
    /// An undo or a redo (`move`) when `bCan`; the document modified unless back at its file's step.
    bool Go(bool bCan, void (QUndoStack::*move)());

    CMarloDoc& m_doc;
    QUndoStack m_stack;
};
