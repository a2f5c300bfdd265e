#include "ListCtrl.h"

#include "platform/Cp932.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextLayout>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

// The rows' texts live packed (PackedRows): filling the list with 200,000 rows
// costs a few copies, not 800,000 small allocations. Rows shown from other packed
// rows (CListCtrl::ShowItemsOf) are read through those rows until the list changes
// or they are about to: the list then takes a snapshot of them (their index,
// sharing the texts, which stay whatever the other rows do afterwards).
class ListModel : public QAbstractTableModel, private PackedRows::Viewer {
public:
    ~ListModel() override { Unshow(); }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(RowCount());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
    }

    std::string_view Text(int nItem, int nSubItem) const {
        const auto row = static_cast<std::size_t>(nItem);
        return m_shown ? (*m_shown)->Text(m_nShownFirst + row, nSubItem) : m_rows.Text(row, nSubItem);
    }

    /// The text a cell shows.
    QString DisplayText(int nItem, int nSubItem) const {
        QString text = Cp932ToUnicode(Text(nItem, nSubItem));
        // A memo's line breaks would make rows of different heights: show them as spaces.
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return DisplayText(index.row(), index.column());
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

    void InsertRow(int nItem, const PackedRows::Texts& texts) {
        Own();
        if (!m_bBatch)
            beginInsertRows({}, nItem, nItem);
        m_rows.Insert(static_cast<std::size_t>(nItem), texts);
        if (!m_bBatch)
            endInsertRows();
    }

    void SetText(int nItem, int nSubItem, std::string_view text) {
        Own();
        m_rows.SetText(static_cast<std::size_t>(nItem), nSubItem, text);
        if (!m_bBatch) {
            const QModelIndex i = index(nItem, nSubItem);
            emit dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void RemoveRow(int nItem) {
        Own();
        if (!m_bBatch)
            beginRemoveRows({}, nItem, nItem);
        m_rows.Erase(static_cast<std::size_t>(nItem));
        if (!m_bBatch)
            endRemoveRows();
    }

    void RemoveAll() {
        if (!m_bBatch)
            beginResetModel();
        Unshow();
        m_rows.Clear();
        if (!m_bBatch)
            endResetModel();
    }

    void Reserve(std::size_t nRows) {
        Own();
        // Rows appended from the book refer to its texts: room in the index is what they take.
        m_rows.Reserve(nRows, 0);
    }

    /// Rows appended at the end; the caller has the view told (SetBatch).
    void AppendRows(const PackedRows& from, std::size_t first, std::size_t count,
                    const std::function<void(std::size_t)>& onRow) {
        Own();
        m_rows.AppendRows(from, first, count, onRow);
    }

    /// Rows of `from` in place of the list's; the caller has the view told (SetBatch).
    void Share(PackedRows::Shown from, std::size_t first, std::size_t count) {
        Unshow();
        m_rows.Clear();
        m_shown = from;
        m_nShownFirst = first;
        m_nShownCount = count;
        from.SetViewer(this);
    }

    /// The rows shown from elsewhere as a snapshot of the list's own: the texts stay, so
    /// the view need not know.
    void Own() noexcept {
        if (const std::optional<PackedRows::Shown> from = std::exchange(m_shown, std::nullopt)) {
            from->DropViewer(this);
            TakeSnapshot(**from);
        }
    }

    void SetBatch(bool bBatch) {
        if (bBatch == m_bBatch)
            return;
        m_bBatch = bBatch;
        if (bBatch)
            beginResetModel();
        else
            endResetModel();
    }

    std::size_t RowCount() const { return m_shown ? m_nShownCount : m_rows.Count(); }

    std::vector<QString> m_headings;
    bool m_bBatch = false;

private:
    void BeforeRowsChange(const PackedRows& rows) noexcept override {
        m_shown.reset();
        TakeSnapshot(rows);
    }

    void TakeSnapshot(const PackedRows& from) noexcept {
        try {
            m_rows = from.Snapshot(m_nShownFirst, m_nShownCount);
        } catch (const std::bad_alloc&) {
            // No memory for the index: the list shows nothing rather than rows that change.
            if (!m_bBatch)
                beginResetModel();
            m_rows.Clear();
            if (!m_bBatch)
                endResetModel();
        }
    }

    /// Stops showing rows from elsewhere, without a snapshot.
    void Unshow() noexcept {
        if (const std::optional<PackedRows::Shown> from = std::exchange(m_shown, std::nullopt))
            from->DropViewer(this);
    }

    PackedRows m_rows;
    std::optional<PackedRows::Shown> m_shown; // rows shown from elsewhere (registered with), no snapshot taken yet
    std::size_t m_nShownFirst = 0;
    std::size_t m_nShownCount = 0;
};

namespace {

// The standard delegate lays out each cell's text three times (for its size, for
// eliding and for drawing), most of a keystroke's time with the list full of rows.
// This one draws the same pixels with one layout per cell; what it does not know
// how to draw (the focus frame, a style that highlights only the text) it leaves
// to the standard one.
class ListDelegate : public QStyledItemDelegate {
public:
    ListDelegate(const ListModel& model, QObject* parent) : QStyledItemDelegate(parent), m_model(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QWidget* widget = option.widget;
        const QStyle* style = widget ? widget->style() : QApplication::style();
        const bool bSelected = option.state & QStyle::State_Selected;
        if ((option.state & (QStyle::State_HasFocus | QStyle::State_Editing)) ||
            option.backgroundBrush.style() != Qt::NoBrush || (option.features & QStyleOptionViewItem::WrapText) ||
            (bSelected && !style->styleHint(QStyle::SH_ItemView_ShowDecorationSelected, &option, widget))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QString text = m_model.DisplayText(index.row(), index.column());
        QPalette::ColorGroup cg = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        if (cg == QPalette::Normal && !(option.state & QStyle::State_Active))
            cg = QPalette::Inactive;

        painter->save();
        painter->setClipRect(option.rect, Qt::IntersectClip);
        if (bSelected)
            painter->fillRect(option.rect, option.palette.brush(cg, QPalette::Highlight));
        if (!text.isEmpty()) {
            painter->setPen(option.palette.color(cg, bSelected ? QPalette::HighlightedText : QPalette::Text));
            const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
            const QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
            QTextOption textOption;
            textOption.setWrapMode(QTextOption::ManualWrap);
            textOption.setTextDirection(option.direction);
            textOption.setAlignment(QStyle::visualAlignment(option.direction, option.displayAlignment));
            QTextLayout layout(text, option.font);
            layout.setTextOption(textOption);
            QTextLine line = LayOut(layout, textRect.width());
            if (line.naturalTextWidth() > textRect.width()) {
                layout.setText(option.fontMetrics.elidedText(text, option.textElideMode, textRect.width()));
                line = LayOut(layout, textRect.width());
            }
            const QRect at = QStyle::alignedRect(option.direction, option.displayAlignment,
                                                 QSize(textRect.width(), static_cast<int>(line.height())), textRect);
            line.draw(painter, at.topLeft());
        }
        painter->restore();
    }

private:
    static QTextLine LayOut(QTextLayout& layout, int width) {
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
        layout.endLayout();
        return line;
    }

    const ListModel& m_model;
};

} // namespace

CListCtrl::CListCtrl(QWidget* parent) : QTableView(parent), m_pModel(std::make_unique<ListModel>()) {
    setModel(m_pModel.get());
    setItemDelegate(new ListDelegate(*m_pModel, this));
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

void CListCtrl::AppendItems(const PackedRows& rows, std::size_t first, std::size_t count) {
    if (first >= rows.Count())
        return;
    count = std::min(count, rows.Count() - first);
    const bool bRedraw = !m_pModel->m_bBatch;
    SetRedraw(false);
    // Without a handler no row makes a call: a search may list a hundred thousand.
    std::function<void(std::size_t)> onRow;
    if (m_fnInsertItemNotify)
        onRow = [this](std::size_t nItem) {
            if (m_fnInsertItemNotify)
                m_fnInsertItemNotify(static_cast<int>(nItem));
        };
    m_pModel->AppendRows(rows, first, count, onRow);
    if (bRedraw)
        SetRedraw(true);
}

void CListCtrl::ShowItemsOf(PackedRows::Shown rows, std::size_t first, std::size_t count) {
    const bool bRedraw = !m_pModel->m_bBatch;
    SetRedraw(false);
    DeleteAllItems();
    if (m_fnInsertItemNotify) {
        AppendItems(*rows, first, count); // each row is notified as it comes
    } else if (first < rows->Count()) {
        m_pModel->Share(rows, first, std::min(count, rows->Count() - first));
    }
    if (bRedraw)
        SetRedraw(true);
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
    // After a reset the view lays its rows out on a zero timer, once the rows have been
    // painted: the scroll bar's new range then paints them all a second time.
    if (bRedraw)
        executeDelayedItemsLayout();
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
