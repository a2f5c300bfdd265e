#include "ListCtrl.h"

#include "platform/Cp932.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

// The rows live back to back in one byte buffer, each as a block of its four
// texts' lengths followed by the texts themselves; the list of rows holds where
// each block starts. A row filled from left to right, as a search fills the
// list, is written once at the end of the buffer: a search that lists 200,000
// rows costs a few copies into one buffer, not 800,000 small allocations. A row
// whose text is replaced out of order is written anew at the end; the space it
// leaves is taken back once it makes up half the buffer.
class RowBuffer {
public:
    static constexpr int kCells = CListCtrl::kMaxColumns;
    /// A cell holds at most this many bytes; longer texts are cut (a list cell
    /// shows a line, never gigabytes).
    static constexpr std::size_t kMaxText = std::numeric_limits<std::uint32_t>::max();

    std::size_t Count() const { return m_rows.size(); }

    std::string_view Text(std::size_t nRow, int nCell) const {
        const char* block = m_pBytes.get() + m_rows[nRow];
        const Lengths lengths = ReadLengths(block);
        std::size_t start = kHeader;
        for (int i = 0; i < nCell; ++i)
            start += lengths[static_cast<std::size_t>(i)];
        return {block + start, lengths[static_cast<std::size_t>(nCell)]};
    }

    using Texts = std::array<std::string_view, kCells>;

    /// Adds a row at `nRow` with these texts.
    void Insert(std::size_t nRow, const Texts& texts) {
        Lengths lengths;
        std::size_t size = kHeader;
        for (std::size_t i = 0; i < kCells; ++i) {
            lengths[i] = static_cast<std::uint32_t>(Cut(texts[i]).size());
            size += lengths[i];
        }
        const std::size_t offset = Reserve(size);
        // Rows are written one after another: get the memory a few rows on ready,
        // so that the writes do not each wait for it.
        if (m_nCapacity - offset > kWriteAhead)
            __builtin_prefetch(m_pBytes.get() + offset + kWriteAhead, 1);
        WriteLengths(m_pBytes.get() + offset, lengths);
        m_nSize += kHeader;
        for (std::size_t i = 0; i < kCells; ++i)
            Append(texts[i].substr(0, lengths[i]));
        if (nRow == m_rows.size())
            m_rows.push_back(offset); // the common case: a list filled from the top down
        else
            m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(nRow), offset);
    }

    void SetText(std::size_t nRow, int nCell, std::string_view text) {
        text = Cut(text);
        const std::size_t offset = m_rows[nRow];
        Lengths lengths = ReadLengths(m_pBytes.get() + offset);
        const auto cell = static_cast<std::size_t>(nCell);
        // The last row written, with this cell and the ones after it still empty:
        // the text goes on at the end of the buffer.
        bool bAppend = offset + BlockSize(lengths) == m_nSize;
        for (std::size_t i = cell; i < kCells && bAppend; ++i)
            bAppend = lengths[i] == 0;
        if (bAppend) {
            lengths[cell] = static_cast<std::uint32_t>(text.size());
            WriteLengths(m_pBytes.get() + offset, lengths);
            Reserve(text.size());
            Append(text);
            return;
        }
        Rewrite(nRow, cell, text);
    }

    void Erase(std::size_t nRow) {
        m_nGarbage += BlockSize(ReadLengths(m_pBytes.get() + m_rows[nRow]));
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(nRow));
        if (m_rows.empty())
            Clear();
        else if (m_nGarbage > m_nSize / 2)
            Compact();
    }

    /// Empties the list; the memory stays for the next rows, as a search
    /// rebuilds the list at every keystroke.
    void Clear() {
        m_rows.clear();
        m_nSize = 0;
        m_nGarbage = 0;
    }

    void ReserveRows(std::size_t nRows) {
        constexpr std::size_t kBytesPerRow = kHeader + 48; // a typical entry's four texts
        m_rows.reserve(nRows);
        Grow(nRows * kBytesPerRow);
    }

private:
    static constexpr std::size_t kHeader = kCells * sizeof(std::uint32_t);
    static constexpr std::size_t kWriteAhead = 512;
    using Lengths = std::array<std::uint32_t, kCells>;

    static std::string_view Cut(std::string_view text) { return text.substr(0, std::min(text.size(), kMaxText)); }

    static Lengths ReadLengths(const char* block) {
        Lengths lengths;
        std::memcpy(lengths.data(), block, kHeader);
        return lengths;
    }
    static void WriteLengths(char* block, const Lengths& lengths) { std::memcpy(block, lengths.data(), kHeader); }
    static std::size_t BlockSize(const Lengths& lengths) {
        std::size_t size = kHeader;
        for (std::uint32_t length : lengths)
            size += length;
        return size;
    }

    /// Room for `nBytes` more at the end; returns where they go.
    std::size_t Reserve(std::size_t nBytes) {
        if (m_nCapacity - m_nSize < nBytes)
            Grow(std::max(m_nSize + nBytes, m_nCapacity * 2));
        return m_nSize;
    }
    void Grow(std::size_t nCapacity) {
        if (nCapacity <= m_nCapacity)
            return;
        auto bytes = std::make_unique_for_overwrite<char[]>(nCapacity);
        if (m_nSize > 0)
            std::memcpy(bytes.get(), m_pBytes.get(), m_nSize);
        m_pBytes = std::move(bytes);
        m_nCapacity = nCapacity;
    }
    void Append(std::string_view text) {
        CopyBytes(m_pBytes.get() + m_nSize, text.data(), text.size());
        m_nSize += text.size();
    }

    // memcpy, with the short texts most cells hold copied in place rather than
    // through a library call: two copies of a fixed size that may overlap.
    static void CopyBytes(char* to, const char* from, std::size_t n) {
        if (n >= 8 && n <= 16) {
            std::memcpy(to, from, 8);
            std::memcpy(to + n - 8, from + n - 8, 8);
        } else if (n >= 4 && n < 8) {
            std::memcpy(to, from, 4);
            std::memcpy(to + n - 4, from + n - 4, 4);
        } else if (n > 0 && n < 4) {
            to[0] = from[0];
            to[n / 2] = from[n / 2];
            to[n - 1] = from[n - 1];
        } else if (n > 16) {
            std::memcpy(to, from, n);
        }
    }

    // The row written again at the end with `text` in `cell`.
    void Rewrite(std::size_t nRow, std::size_t cell, std::string_view text) {
        Lengths lengths = ReadLengths(m_pBytes.get() + m_rows[nRow]);
        const std::size_t oldSize = BlockSize(lengths);
        lengths[cell] = static_cast<std::uint32_t>(text.size());
        // Growing may move the buffer: the old texts are read by position afterwards.
        const std::size_t offset = Reserve(BlockSize(lengths));
        const std::size_t oldOffset = m_rows[nRow];
        WriteLengths(m_pBytes.get() + offset, lengths);
        m_nSize += kHeader;
        std::size_t oldStart = oldOffset + kHeader;
        const Lengths oldLengths = ReadLengths(m_pBytes.get() + oldOffset);
        for (std::size_t i = 0; i < kCells; ++i) {
            if (i == cell)
                Append(text);
            else
                Append({m_pBytes.get() + oldStart, oldLengths[i]});
            oldStart += oldLengths[i];
        }
        m_rows[nRow] = offset;
        m_nGarbage += oldSize;
        if (m_nGarbage > m_nSize / 2)
            Compact();
    }

    // Every row copied once, in row order, into a buffer of its own.
    void Compact() {
        RowBuffer fresh;
        fresh.m_rows.reserve(m_rows.size());
        fresh.Grow(m_nSize - m_nGarbage);
        for (std::size_t offset : m_rows) {
            const std::size_t size = BlockSize(ReadLengths(m_pBytes.get() + offset));
            fresh.m_rows.push_back(fresh.m_nSize);
            fresh.Append({m_pBytes.get() + offset, size});
        }
        *this = std::move(fresh);
    }

    std::vector<std::size_t> m_rows; // where each row's block starts
    std::unique_ptr<char[]> m_pBytes;
    std::size_t m_nSize = 0;
    std::size_t m_nCapacity = 0;
    std::size_t m_nGarbage = 0; // bytes of blocks no row uses any more
};

class ListModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.Count());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
    }

    std::string_view Text(int nItem, int nSubItem) const {
        return m_rows.Text(static_cast<std::size_t>(nItem), nSubItem);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        QString text = Cp932ToUnicode(Text(index.row(), index.column()));
        // A memo's line breaks would make rows of different heights: show them as spaces.
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && section >= 0 && section < columnCount()) {
            if (role == Qt::DisplayRole)
                return m_headings[static_cast<std::size_t>(section)];
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        }
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void InsertColumn(int nCol, const QString& heading) {
        beginInsertColumns({}, nCol, nCol);
        m_headings.insert(m_headings.begin() + nCol, heading);
        // Every row has a slot for each column already.
        endInsertColumns();
    }

    void InsertRow(int nItem, const RowBuffer::Texts& texts) {
        if (!m_bBatch)
            beginInsertRows({}, nItem, nItem);
        m_rows.Insert(static_cast<std::size_t>(nItem), texts);
        if (!m_bBatch)
            endInsertRows();
    }

    void SetText(int nItem, int nSubItem, std::string_view text) {
        m_rows.SetText(static_cast<std::size_t>(nItem), nSubItem, text);
        if (!m_bBatch) {
            const QModelIndex i = index(nItem, nSubItem);
            emit dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void RemoveRow(int nItem) {
        if (!m_bBatch)
            beginRemoveRows({}, nItem, nItem);
        m_rows.Erase(static_cast<std::size_t>(nItem));
        if (!m_bBatch)
            endRemoveRows();
    }

    void RemoveAll() {
        if (!m_bBatch)
            beginResetModel();
        m_rows.Clear();
        if (!m_bBatch)
            endResetModel();
    }

    void Reserve(std::size_t nRows) { m_rows.ReserveRows(nRows); }

    void SetBatch(bool bBatch) {
        if (bBatch == m_bBatch)
            return;
        m_bBatch = bBatch;
        if (bBatch)
            beginResetModel();
        else
            endResetModel();
    }

    std::size_t RowCount() const { return m_rows.Count(); }

    std::vector<QString> m_headings;
    bool m_bBatch = false;

private:
    RowBuffer m_rows;
};

CListCtrl::CListCtrl(QWidget* parent) : QTableView(parent), m_pModel(std::make_unique<ListModel>()) {
    setModel(m_pModel.get());
    // A table view keeps no item per row, so a search that lists a hundred thousand
    // rows does not lay every one of them out; rows are one line of fixed height.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    header()->setHighlightSections(false);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setFrameShape(QFrame::StyledPanel);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The selection is not kept visible while another control has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Inactive, QPalette::Base));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Inactive, QPalette::Text));
    setPalette(pal);
}

CListCtrl::~CListCtrl() {
    // The view must let go of the model before the model goes.
    setModel(nullptr);
}

int CListCtrl::InsertColumn(int nCol, const QString& heading, int nWidth) {
    const int count = GetColumnCount();
    if (count >= kMaxColumns || nCol < 0)
        return -1;
    nCol = std::min(nCol, count);
    m_pModel->InsertColumn(nCol, heading);
    header()->resizeSection(nCol, nWidth);
    return nCol;
}

QString CListCtrl::GetColumnHeading(int nCol) const {
    if (nCol < 0 || nCol >= GetColumnCount())
        return {};
    return m_pModel->m_headings[static_cast<std::size_t>(nCol)];
}

int CListCtrl::GetColumnCount() const {
    return m_pModel->columnCount();
}

int CListCtrl::InsertItem(int nItem, std::string_view text) {
    return InsertItem(nItem, Texts{text});
}

int CListCtrl::InsertItem(int nItem, const Texts& texts) {
    if (nItem < 0)
        return -1;
    nItem = std::min(nItem, GetItemCount());
    m_pModel->InsertRow(nItem, texts);
    if (m_nSelectionMark >= nItem)
        ++m_nSelectionMark;
    if (m_fnInsertItemNotify)
        m_fnInsertItemNotify(nItem);
    return nItem;
}

bool CListCtrl::SetItemText(int nItem, int nSubItem, std::string_view text) {
    if (nItem < 0 || nItem >= GetItemCount() || nSubItem < 0 || nSubItem >= kMaxColumns)
        return false;
    m_pModel->SetText(nItem, nSubItem, text);
    return true;
}

std::string CListCtrl::GetItemText(int nItem, int nSubItem) const {
    if (nItem < 0 || nItem >= GetItemCount() || nSubItem < 0 || nSubItem >= kMaxColumns)
        return {};
    return std::string(m_pModel->Text(nItem, nSubItem));
}

bool CListCtrl::DeleteItem(int nItem) {
    if (nItem < 0 || nItem >= GetItemCount())
        return false;
    m_pModel->RemoveRow(nItem);
    if (m_nSelectionMark == nItem)
        m_nSelectionMark = -1;
    else if (m_nSelectionMark > nItem)
        --m_nSelectionMark;
    return true;
}

void CListCtrl::DeleteAllItems() {
    m_pModel->RemoveAll();
    m_nSelectionMark = -1;
}

int CListCtrl::GetItemCount() const {
    return static_cast<int>(m_pModel->RowCount());
}

void CListCtrl::SetSelectionMark(int nItem) {
    m_nSelectionMark = (nItem >= 0 && nItem < GetItemCount()) ? nItem : -1;
}

void CListCtrl::SetItemCount(int nItems) {
    if (nItems > 0)
        m_pModel->Reserve(static_cast<std::size_t>(nItems));
}

void CListCtrl::SetRedraw(bool bRedraw) {
    m_pModel->SetBatch(!bRedraw);
}

void CListCtrl::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        m_nSelectionMark = index.row();
    QTableView::mousePressEvent(event);
}

void CListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTableView::mouseDoubleClickEvent(event);
    emit DblClkNotify();
}

// Home and End go to the first and last row, as in a list, not along the row as in a table.
QModelIndex CListCtrl::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd)
        modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

void CListCtrl::keyPressEvent(QKeyEvent* event) {
    emit KeyDownNotify(event->key());
    const QModelIndex before = currentIndex();
    QTableView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        m_nSelectionMark = after.row();
}
