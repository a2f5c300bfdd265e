#pragma once
// Undo and redo of the changes the window makes to entries: add, modify, delete.

#include "data/PhoneRecord.h"

#include <QUndoStack>

#include <cstddef>
#include <cstdint>

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
    bool CanUndo() const { return m_stack.canUndo() && FollowsBook(); }
    bool CanRedo() const { return m_stack.canRedo() && FollowsBook(); }

    /// Forgets every step: for another phone book, and after a change of the book made
    /// outside the history (an import), which the steps before it cannot see past.
    void Clear();

private:
    /// Whether the book is as the history last left it. A change made outside it (a sync
    /// filing the server's entries while the window is used) moves records under its
    /// steps: they can no longer be undone, and the next step starts afresh.
    bool FollowsBook() const;
    void NoteBook();
    /// The document tells whether it was saved (or opened) since the last step: the
    /// step the history stands at is then the one that matches the file.
    void FollowDocument();
    /// An undo or a redo (`move`) when `bCan`; the document modified unless back at its file's step.
    bool Go(bool bCan, void (QUndoStack::*move)());
    /// Before a new step: the steps a change outside the history overtook are forgotten.
    void BeginStep();

    CMarloDoc& m_doc;
    QUndoStack m_stack;
    std::uint64_t m_nBookVersion = 0; // the book's version after the last step, undo or redo
};
