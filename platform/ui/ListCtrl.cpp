#include "ListCtrl.h"

#include "platform/Cp932.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include <array>
#include <vector>

class ListModel : public QAbstractTableModel {
public:
    using Row = std::array<std::string, CListCtrl::kMaxColumns>;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        QString text = Cp932ToUnicode(m_rows[static_cast<std::size_t>(index.row())][index.column()]);
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
        // Column data stays in place: every column has its slot in each row already.
        endInsertColumns();
    }

    void InsertRow(int nItem, std::string_view text) {
        if (!m_bBatch)
            beginInsertRows({}, nItem, nItem);
        Row row;
        row[0] = text;
        m_rows.insert(m_rows.begin() + nItem, std::move(row));
        if (!m_bBatch)
            endInsertRows();
    }

    void SetText(int nItem, int nSubItem, std::string_view text) {
        m_rows[static_cast<std::size_t>(nItem)][static_cast<std::size_t>(nSubItem)] = text;
        if (!m_bBatch) {
            const QModelIndex i = index(nItem, nSubItem);
            emit dataChanged(i, i, {Qt::DisplayRole});
        }
    }

    void RemoveRow(int nItem) {
        if (!m_bBatch)
            beginRemoveRows({}, nItem, nItem);
        m_rows.erase(m_rows.begin() + nItem);
        if (!m_bBatch)
            endRemoveRows();
    }

    void RemoveAll() {
        if (!m_bBatch)
            beginResetModel();
        m_rows.clear();
        m_rows.shrink_to_fit();
        if (!m_bBatch)
            endResetModel();
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

    std::vector<QString> m_headings;
    std::vector<Row> m_rows;
    bool m_bBatch = false;
};

CListCtrl::CListCtrl(QWidget* parent) : QTreeView(parent), m_pModel(std::make_unique<ListModel>()) {
    setModel(m_pModel.get());
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
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
    if (nItem < 0)
        return -1;
    nItem = std::min(nItem, GetItemCount());
    m_pModel->InsertRow(nItem, text);
    if (m_nSelectionMark >= nItem)
        ++m_nSelectionMark;
    emit InsertItemNotify(nItem);
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
    return m_pModel->m_rows[static_cast<std::size_t>(nItem)][static_cast<std::size_t>(nSubItem)];
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
    return static_cast<int>(m_pModel->m_rows.size());
}

void CListCtrl::SetSelectionMark(int nItem) {
    m_nSelectionMark = (nItem >= 0 && nItem < GetItemCount()) ? nItem : -1;
}

void CListCtrl::SetRedraw(bool bRedraw) {
    m_pModel->SetBatch(!bRedraw);
}

void CListCtrl::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        m_nSelectionMark = index.row();
    QTreeView::mousePressEvent(event);
}

void CListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    emit DblClkNotify();
}

void CListCtrl::keyPressEvent(QKeyEvent* event) {
    emit KeyDownNotify(event->key());
    const QModelIndex before = currentIndex();
    QTreeView::keyPressEvent(event);
    const QModelIndex after = currentIndex();
    if (after.isValid() && after != before)
        m_nSelectionMark = after.row();
}
