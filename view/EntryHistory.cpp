#include "EntryHistory.h"

#include "data/MarloDoc.h"

#include <memory>
#include <optional>

namespace {

/// One step: a record taken out, a record put in, or both (a modify). It is done as it
/// is made, the document filing the new record at its sorted place; every undo and redo
/// after that moves the records to and from the exact places of that first time.
class EntryStep : public QUndoCommand {
public:
    EntryStep(CMarloDoc& doc, std::optional<std::size_t> removeAt, std::optional<PhoneRecord> insert)
        : m_doc(doc), m_removeAt(removeAt), m_inserted(std::move(insert)) {
        if (m_removeAt) {
            m_removed = m_doc.m_pData->m_list[*m_removeAt].ToRecord();
            m_doc.RemoveEntry(*m_removeAt);
        }
        if (m_inserted) {
            try {
                m_insertedAt = m_doc.AddEntry(*m_inserted);
            } catch (...) {
                // A modify that cannot file the new record keeps the old one.
                if (m_removeAt)
                    m_doc.InsertEntryAt(*m_removeAt, m_removed);
                throw;
            }
        }
    }

    std::size_t InsertedAt() const { return m_insertedAt; }

    void redo() override {
        if (m_bJustMade) { // the stack does each step it is given: this one is done already
            m_bJustMade = false;
            return;
        }
        if (m_removeAt)
            m_doc.RemoveEntry(*m_removeAt);
        if (m_inserted)
            m_doc.InsertEntryAt(m_insertedAt, *m_inserted);
    }

    void undo() override {
        if (m_inserted)
            m_doc.RemoveEntry(m_insertedAt);
        if (m_removeAt)
            m_doc.InsertEntryAt(*m_removeAt, m_removed);
    }

private:
    CMarloDoc& m_doc;
    std::optional<std::size_t> m_removeAt;
    PhoneRecord m_removed;
    std::optional<PhoneRecord> m_inserted;
    std::size_t m_insertedAt = 0;
    bool m_bJustMade = true;
};

/// Makes the step, which does it, and hands it to `stack`; returns where it filed its record.
std::size_t Push(QUndoStack& stack, std::unique_ptr<EntryStep> step) {
    const std::size_t insertedAt = step->InsertedAt();
    stack.push(step.release());
    return insertedAt;
}

} // namespace

std::size_t EntryHistory::Add(const PhoneRecord& record) {
    BeginStep();
    const std::size_t at = Push(m_stack, std::make_unique<EntryStep>(m_doc, std::nullopt, record));
    NoteBook();
    return at;
}

std::size_t EntryHistory::Replace(std::size_t index, const PhoneRecord& record) {
    BeginStep();
    const std::size_t at = Push(m_stack, std::make_unique<EntryStep>(m_doc, index, record));
    NoteBook();
    return at;
}

void EntryHistory::Remove(std::size_t index) {
    BeginStep();
    Push(m_stack, std::make_unique<EntryStep>(m_doc, index, std::nullopt));
    NoteBook();
}

bool EntryHistory::Undo() {
    return Go(CanUndo(), &QUndoStack::undo);
}

bool EntryHistory::Redo() {
    return Go(CanRedo(), &QUndoStack::redo);
}

void EntryHistory::Clear() {
    m_stack.clear();
    NoteBook();
}

bool EntryHistory::FollowsBook() const {
    return m_doc.m_pData && m_doc.m_pData->m_list.GetVersion() == m_nBookVersion;
}

void EntryHistory::NoteBook() {
    m_nBookVersion = m_doc.m_pData ? m_doc.m_pData->m_list.GetVersion() : 0;
}

void EntryHistory::BeginStep() {
    if (!FollowsBook())
        m_stack.clear();
    FollowDocument();
}

bool EntryHistory::Go(bool bCan, void (QUndoStack::*move)()) {
    if (!bCan)
        return false;
    FollowDocument();
    (m_stack.*move)();
    NoteBook();
    m_doc.SetModifiedFlag(!m_stack.isClean());
    return true;
}

void EntryHistory::FollowDocument() {
    if (!m_doc.IsModified())
        m_stack.setClean();
    else if (m_stack.isClean())
        m_stack.resetClean(); // changed since, outside the history: no step matches the file
}
