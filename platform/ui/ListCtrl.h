#pragma once
// The report list: rows of four code page 932 byte strings on Qt model/view.
// The list keeps its own rows, which may share their texts with the rows they
// were shown from; text is converted for display only when a cell is drawn.

#include "platform/PackedRows.h"

#include <QHeaderView>
#include <QTableView>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class ListModel;

class CListCtrl : public QTableView {
    Q_OBJECT
public:
    static constexpr int kMaxColumns = PackedRows::kCells;

    explicit CListCtrl(QWidget* parent = nullptr);
    /// The column headings.
    QHeaderView* header() const { return horizontalHeader(); }
    ~CListCtrl() override;

    /// Adds a left-aligned column before `nCol`; returns its index or -1.
    int InsertColumn(int nCol, const QString& heading, int nWidth);
    /// The heading of column `nCol`, empty when there is no such column.
    QString GetColumnHeading(int nCol) const;
    int GetColumnCount() const;

    /// Inserts a row at `nItem` (clamped to the row count) with `text` as its item text
    /// and empty sub-items. The insert notification arrives before this returns.
    int InsertItem(int nItem, std::string_view text);
    using Texts = PackedRows::Texts;
    /// Inserts a row with all its texts at once, as a list filled in bulk does;
    /// the insert notification arrives once the row is complete.
    int InsertItem(int nItem, const Texts& texts);
    /// Appends copies of rows [first, first + count) of `rows` at the end of the list,
    /// with an insert notification for each row once it is in place, as InsertItem
    /// gives. Rows stored back to back are copied in one go.
    void AppendItems(const PackedRows& rows, std::size_t first, std::size_t count);
    /// Replaces the list's rows with rows [first, first + count) of `rows`, as
    /// DeleteAllItems and AppendItems would, but copies no text: the list reads the rows
    /// through `rows`, registered as their viewer, until the list or `rows` is about to
    /// change, and then takes a snapshot of them (their index; the texts shared), so that
    /// the list's rows stay as they are whatever `rows` does next. With an insert handler
    /// the rows are listed one by one as AppendItems lists them.
    void ShowItemsOf(PackedRows::Shown rows, std::size_t first, std::size_t count);
    bool SetItemText(int nItem, int nSubItem, std::string_view text);
    std::string GetItemText(int nItem, int nSubItem) const;
    bool DeleteItem(int nItem);
    void DeleteAllItems();
    int GetItemCount() const;

    /// The row the user last clicked or moved to with the keyboard; -1 for none.
    int GetSelectionMark() const { return m_nSelectionMark; }
    void SetSelectionMark(int nItem);

    /// Makes room for this many rows ahead of a bulk insertion.
    void SetItemCount(int nItems);
    /// With redraw off, rows change without the view relaying out at each one;
    /// turning it on again shows the rows in one go. Use it around bulk writes.
    void SetRedraw(bool bRedraw);

    /// LVN_INSERTITEM: called with the row's index inside every InsertItem, once the row
    /// is in the list. A plain call rather than a signal, and none at all without a
    /// handler: it would run for every row of a search. Null removes the handler.
    void SetInsertItemNotify(std::function<void(int nItem)> handler) { m_fnInsertItemNotify = std::move(handler); }

signals:
    /// NM_DBLCLK: a double-click anywhere in the list, on a row or not.
    void DblClkNotify();
    /// LVN_KEYDOWN: a key pressed in the list (a Qt::Key), before the list acts on it.
    void KeyDownNotify(int nKey);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    std::unique_ptr<ListModel> m_pModel;
    int m_nSelectionMark = -1;
    std::function<void(int)> m_fnInsertItemNotify;
};
