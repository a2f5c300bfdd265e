// The Qt half of the framework: the report list, the template builder, the
// command router, the data exchange and modeless dialogs.

#include "UiTestUtil.h"

#include "platform/Cp932.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FormView.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

void Fill(CListCtrl& list, int rows) {
    for (int i = 0; i < rows; ++i)
        list.InsertItem(i, "row" + std::to_string(i));
}

QWidget* NextTabStop(QWidget* w) {
    do
        w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
}

QPoint RowCenter(const CListCtrl& list, int row) {
    return list.visualRect(list.model()->index(row, 0)).center();
}

struct ShownList {
    ShownList() {
        list.InsertColumn(0, QStringLiteral("name"), 80);
        list.InsertColumn(1, QStringLiteral("氏名"), 80);
        list.resize(300, 400);
        list.show();
        list.activateWindow();
    }
    CListCtrl list;
};

using namespace ControlStyle;
constexpr ControlTemplate kControls[] = {
    {1, ControlKind::PushButton, "OK", 4, 60, 40, 14, TabStop | DefaultButton},
    {-1, ControlKind::Static, "ﾛｰﾏ字名(&R)", 4, 4, 30, 8, 0},
    {1002, ControlKind::Edit, "", 40, 4, 60, 12, TabStop},
    {-1, ControlKind::Static, "プレフィックスなし&", 4, 20, 30, 8, NoPrefix},
    {1003, ControlKind::Edit, "", 40, 20, 60, 12, TabStop},
    {1004, ControlKind::PushButton, "押す", 40, 40, 40, 14, 0},
};

constexpr ControlTemplate kEntryControls[] = {
    {IDOK, ControlKind::PushButton, "OK", 4, 104, 40, 14, TabStop | DefaultButton},
    {IDCANCEL, ControlKind::PushButton, "ｷｬﾝｾﾙ", 50, 104, 40, 14, TabStop},
    {1002, ControlKind::Edit, "", 40, 6, 60, 12, TabStop},
    {-1, ControlKind::Static, "メモ(&M)", 6, 22, 30, 8, 0},
    {1005, ControlKind::MultiLineEdit, "", 6, 32, 96, 28, TabStop},
    {-1, ControlKind::GroupBox, "", 2, 2, 104, 62, 0},
    {1006, ControlKind::CheckBox, "確認する(&C)", 6, 68, 60, 10, TabStop},
    {1007, ControlKind::Edit, "", 6, 84, 40, 12, TabStop},
    {1008, ControlKind::Edit, "", 50, 84, 40, 12, TabStop},
};

/// Answers the commands from `nFirst` to 4, recording which ran.
template <class Base> class Answering : public Base {
public:
    template <class... Args>
    Answering(QStringList& log, const QString& name, int nFirst, Args&&... args) : Base(std::forward<Args>(args)...) {
        for (int id = nFirst; id <= 4; ++id)
            this->OnCommand(id, [&log, name, id] { log << name + QString::number(id); });
    }
};

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp(AfxGetAppTitle(), {}) {}
    bool InitInstance() override { return true; }
};

} // namespace

/// A dialog of the template above whose OK moves the first box into a byte string.
class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(DialogTemplate{200, "テスト", 110, 80, kControls}) {}
    std::string m_strName = "\x83\x5e\x83\x69"; // タナ

protected:
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, 1002, m_strName); }
};

/// Every kind of exchange; modeless it closes itself by OK and Cancel and is
/// deleted after PostNcDestroy.
class EntryDialog : public CDialog {
public:
    explicit EntryDialog(int* pDestroyed = nullptr)
        : CDialog(DialogTemplate{201, "入力", 110, 122, kEntryControls}), m_pDestroyed(pDestroyed) {}
    std::string m_strName = "name";
    std::string m_strMemo;
    int m_bCheck = 1;
    int m_nRanged = 42;
    int m_nPlain = -7;

protected:
    void DoDataExchange(CDataExchange& dx) override {
        DDX_Text(dx, 1002, m_strName);
        DDX_Text(dx, 1005, m_strMemo);
        DDX_Text(dx, 1008, m_nPlain);
        DDX_Check(dx, 1006, m_bCheck);
        DDX_Text(dx, 1007, m_nRanged);
        DDV_MinMaxInt(dx, m_nRanged, 0, 9999);
    }
    void OnOK() override {
        if (!m_pDestroyed)
            CDialog::OnOK();
        else if (UpdateData(true))
            DestroyWindow();
    }
    void OnCancel() override {
        if (!m_pDestroyed)
            CDialog::OnCancel();
        else
            DestroyWindow();
    }
    void PostNcDestroy() override {
        ++*m_pDestroyed;
        deleteLater();
    }

private:
    int* m_pDestroyed;
};

/// Answers a few commands and records which ran.
class Target : public CCmdTarget {
public:
    explicit Target(QStringList& log, const QString& name, bool bEnable = true) {
        OnCommand(1, [&log, name] { log << name + "1"; });
        OnCommand(2, [&log, name] { log << name + "2"; });
        OnUpdateCommand(2, [bEnable](CCmdUI& ui) {
            ui.Enable(bEnable);
            ui.SetCheck(true);
        });
    }
};

class FrameworkTest : public QObject {
    Q_OBJECT

private slots:
    void insertNotificationIsSynchronous();
    void rowsAreByteCopies();
    void wholeRowInsertNotifiesOnceComplete();
    void redrawOffBatchesRows();
    void selectionMarkFollowsTheUser();
    void selectionMarkShiftsWithRows();
    void doubleClickAnywhereAndKeyDown();
    void multipleSelection();
    void cellsLookAsTheStandardDelegateDrawsThem();
    void shownRowsBehaveAsCopies();
    void rebuiltListPaintsItsRowsOnce();
    void templateBuilder();
    void dialogExchangesBytes();
    void untouchedFieldsKeepTheirBytes();
    void dialogRefusesTextTheCodePageCannotHold();
    void numbersAndCheckBoxes_data();
    void numbersAndCheckBoxes();
    void memoBoxHoldsTheLinesItShows();
    void modelessDialogs();
    void routerOrderAndUpdateHandlers();
};

void FrameworkTest::insertNotificationIsSynchronous() {
    CListCtrl list;
    list.InsertColumn(0, "a", 10);
    QStringList seen;
    list.SetInsertItemNotify([&](int nItem) {
        // The row is there, with its item text, while the insertion is still running.
        seen << QStringLiteral("%1:%2:%3")
                    .arg(nItem)
                    .arg(list.GetItemCount())
                    .arg(QString::fromStdString(list.GetItemText(nItem, 0)));
    });
    QCOMPARE(list.InsertItem(0, "first"), 0);
    QCOMPARE(list.InsertItem(0, "second"), 0);
    QCOMPARE(list.InsertItem(99, "last"), 2); // clamped to the end
    QCOMPARE(list.InsertItem(-1, "none"), -1);
    QCOMPARE(seen, QStringList({"0:1:first", "0:2:second", "2:3:last"}));
    list.SetRedraw(false);
    list.InsertItem(0, "batched");
    list.SetRedraw(true);
    QCOMPARE(seen.last(), QStringLiteral("0:4:batched"));
}

void FrameworkTest::rowsAreByteCopies() {
    CListCtrl list;
    for (int i = 0; i < 4; ++i)
        list.InsertColumn(i, QString::number(i), 50);
    QCOMPARE(list.InsertColumn(4, "too many", 50), -1);
    std::string text = "\x82\xa0\xff\x81"; // あ, a byte that is no character, a cut lead byte
    list.InsertItem(0, text);
    list.SetItemText(0, 3, "memo\r\nline");
    text[0] = 'x';
    QCOMPARE(list.GetItemText(0, 0), std::string("\x82\xa0\xff\x81"));
    QCOMPARE(list.GetItemText(0, 3), std::string("memo\r\nline"));
    QCOMPARE(list.GetItemText(0, 1), std::string());
    QCOMPARE(list.GetItemText(1, 0), std::string());
    QVERIFY(!list.SetItemText(1, 0, "x"));
    QVERIFY(!list.SetItemText(0, 4, "x"));
    // Shown as text: bad bytes as U+FFFD, line breaks as spaces.
    const QString shown = list.model()->index(0, 0).data().toString();
    QCOMPARE(shown.left(1), QStringLiteral("あ"));
    QVERIFY(shown.contains(QChar(0xFFFD)));
    QCOMPARE(list.model()->index(0, 3).data().toString(), QStringLiteral("memo line"));
    QCOMPARE(list.GetColumnHeading(3), QStringLiteral("3"));
    QCOMPARE(list.GetColumnHeading(4), QString());
}

void FrameworkTest::wholeRowInsertNotifiesOnceComplete() {
    CListCtrl list;
    list.InsertItem(0, "old");
    std::vector<std::string> seen;
    list.SetInsertItemNotify([&](int nItem) {
        for (int c = 0; c < CListCtrl::kMaxColumns; ++c)
            seen.push_back(list.GetItemText(nItem, c));
    });
    QCOMPARE(list.InsertItem(0, CListCtrl::Texts{"tanaka", "\x93\x63\x92\x86", "03-1234", "memo\r\n2"}), 0);
    QCOMPARE(seen, (std::vector<std::string>{"tanaka", "\x93\x63\x92\x86", "03-1234", "memo\r\n2"}));
    QCOMPARE(list.GetItemText(1, 0), std::string("old"));
    // A later change of one text leaves the others of the row as they were.
    list.SetItemText(0, 1, "x");
    QCOMPARE(list.GetItemText(0, 0), std::string("tanaka"));
    QCOMPARE(list.GetItemText(0, 1), std::string("x"));
    QCOMPARE(list.GetItemText(0, 3), std::string("memo\r\n2"));
}

void FrameworkTest::redrawOffBatchesRows() {
    ShownList shown;
    CListCtrl& list = shown.list;
    QSignalSpy resets(list.model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(list.model(), &QAbstractItemModel::rowsInserted);
    list.SetRedraw(false);
    list.DeleteAllItems();
    Fill(list, 1000);
    list.SetItemText(500, 1, "x");
    QCOMPARE(list.GetItemCount(), 1000);
    list.SetRedraw(true);
    // One reset for the whole batch, no insertion one by one.
    QCOMPARE(resets.count(), 1);
    QCOMPARE(inserts.count(), 0);
    QCOMPARE(list.model()->rowCount(), 1000);
    QCOMPARE(list.model()->index(500, 1).data().toString(), QStringLiteral("x"));
    list.DeleteItem(0);
    QCOMPARE(list.model()->rowCount(), 999);
    QCOMPARE(list.GetItemText(0, 0), std::string("row1"));
}

void FrameworkTest::selectionMarkFollowsTheUser() {
    ShownList shown;
    CListCtrl& list = shown.list;
    Fill(list, 5);
    QCOMPARE(list.GetSelectionMark(), -1);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 2));
    QCOMPARE(list.GetSelectionMark(), 2);
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.GetSelectionMark(), 3);
    QTest::keyClick(&list, Qt::Key_Home);
    QCOMPARE(list.GetSelectionMark(), 0);
    // A click below the last row keeps the mark.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.viewport()->height() - 5));
    QCOMPARE(list.GetSelectionMark(), 0);
    list.DeleteAllItems();
    QCOMPARE(list.GetSelectionMark(), -1);
}

void FrameworkTest::selectionMarkShiftsWithRows() {
    ShownList shown;
    CListCtrl& list = shown.list;
    Fill(list, 5);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 2));
    list.InsertItem(0, "above");
    QCOMPARE(list.GetSelectionMark(), 3);
    list.InsertItem(4, "below");
    QCOMPARE(list.GetSelectionMark(), 3);
    list.DeleteItem(0);
    QCOMPARE(list.GetSelectionMark(), 2);
    list.DeleteItem(4);
    QCOMPARE(list.GetSelectionMark(), 2);
    QCOMPARE(list.GetItemText(2, 0), std::string("row2"));
    list.DeleteItem(2);
    QCOMPARE(list.GetSelectionMark(), -1);
    QVERIFY(!list.DeleteItem(10));
    list.SetSelectionMark(1);
    QCOMPARE(list.GetSelectionMark(), 1);
    list.SetSelectionMark(10);
    QCOMPARE(list.GetSelectionMark(), -1);
}

void FrameworkTest::doubleClickAnywhereAndKeyDown() {
    ShownList shown;
    CListCtrl& list = shown.list;
    Fill(list, 3);
    QSignalSpy dblclk(&list, &CListCtrl::DblClkNotify);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 1));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.viewport()->height() - 5));
    QCOMPARE(dblclk.count(), 2);
    // The key is reported before the list moves: a handler still sees the old mark.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 1));
    QList<int> marks;
    connect(&list, &CListCtrl::KeyDownNotify, this, [&](int key) { marks << key << list.GetSelectionMark(); });
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(marks, QList<int>({Qt::Key_Down, 1, Qt::Key_Delete, 2}));
}

void FrameworkTest::multipleSelection() {
    ShownList shown;
    CListCtrl& list = shown.list;
    Fill(list, 5);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 1));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCenter(list, 3));
    QCOMPARE(list.selectionModel()->selectedRows().size(), 3);
    QCOMPARE(list.GetSelectionMark(), 3);
}

void FrameworkTest::cellsLookAsTheStandardDelegateDrawsThem() {
    ShownList shown;
    CListCtrl& list = shown.list;
    list.InsertColumn(2, QStringLiteral("電話番号"), 60);
    list.InsertColumn(3, QStringLiteral("メモ"), 30);
    // Kanji, a memo's line break, empty cells, texts too wide for their column, bytes that are no character.
    const CListCtrl::Texts rows[] = {
        {"tanaka", "\x93\x63\x92\x86", "03-1234-5678", "memo\r\nline"},
        {"", "", "", ""},
        {"takahashiyamanouchi", "\x8d\x82\x8b\xb4\x8d\x82\x8b\xb4\x8d\x82\x8b\xb4", "x", "\x82\xa0\xff\x81"},
        {"ito", "\x88\xc9\x93\xa1", "090", "m"},
    };
    for (const CListCtrl::Texts& row : rows)
        list.InsertItem(list.GetItemCount(), row);
    // Rows selected, one of them current with the focus frame, in every state of the window.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, 2));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCenter(list, 3));
    QVERIFY(QTest::qWaitForWindowActive(&list));
    QStyledItemDelegate standard;
    QAbstractItemDelegate* ours = list.itemDelegate();
    auto drawnBy = [&](QAbstractItemDelegate* delegate) {
        list.setItemDelegate(delegate);
        return list.viewport()->grab().toImage();
    };
    QCOMPARE(drawnBy(ours), drawnBy(&standard));
    list.clearFocus();
    QCOMPARE(drawnBy(ours), drawnBy(&standard));
    list.setEnabled(false);
    QCOMPARE(drawnBy(ours), drawnBy(&standard));
    list.setItemDelegate(ours);
}

// A list that shows a source's rows without copying them must act as one that
// copied them, whatever is done to either afterwards.
void FrameworkTest::shownRowsBehaveAsCopies() {
    std::mt19937 random(20261208);
    auto text = [&] { return std::string(random() % 3 == 0 ? "" : "\x93\x63") + std::to_string(random() % 1000); };
    PackedRows source;
    for (int i = 0; i < 40; ++i)
        source.Append({text(), text(), text(), text()});
    CListCtrl shown, copied;
    auto difference = [&]() -> QString {
        if (shown.GetItemCount() != copied.GetItemCount())
            return QStringLiteral("%1 rows instead of %2").arg(shown.GetItemCount()).arg(copied.GetItemCount());
        for (int row = 0; row < copied.GetItemCount(); ++row)
            for (int cell = 0; cell < CListCtrl::kMaxColumns; ++cell)
                if (shown.GetItemText(row, cell) != copied.GetItemText(row, cell))
                    return QStringLiteral("row %1 cell %2").arg(row).arg(cell);
        return {};
    };
    for (int step = 0; step < 3000; ++step) {
        const int rows = copied.GetItemCount();
        const int row = rows > 0 ? static_cast<int>(random() % static_cast<unsigned>(rows)) : 0;
        const int cell = static_cast<int>(random() % CListCtrl::kMaxColumns);
        switch (random() % 7) {
        case 0:
        case 1: {
            const std::size_t first = random() % (source.Count() + 2), count = random() % 30;
            shown.ShowItemsOf(PackedRows::Shown(source), first, count);
            copied.DeleteAllItems();
            copied.AppendItems(source, first, count);
            break;
        }
        case 2: {
            const std::string t = text();
            shown.SetItemText(row, cell, t);
            copied.SetItemText(row, cell, t);
            break;
        }
        case 3: {
            const std::string t = text();
            shown.InsertItem(row, t);
            copied.InsertItem(row, t);
            break;
        }
        case 4:
            shown.DeleteItem(row);
            copied.DeleteItem(row);
            break;
        case 5: // the source changes under the list
            if (random() % 2 == 0 && source.Count() > 1)
                source.Erase(random() % source.Count());
            else
                source.Insert(random() % (source.Count() + 1), {text(), text(), text(), text()});
            source.SetText(random() % source.Count(), cell, text());
            break;
        case 6:
            shown.DeleteAllItems();
            copied.DeleteAllItems();
            break;
        }
        if (const QString diff = difference(); !diff.isEmpty())
            QFAIL(qPrintable(QStringLiteral("step %1: %2").arg(step).arg(diff)));
    }
    // With an insert handler every row is listed and notified one by one, as AppendItems does.
    QStringList seen;
    shown.SetInsertItemNotify([&](int nItem) { seen << QString::fromStdString(shown.GetItemText(nItem, 0)); });
    shown.ShowItemsOf(PackedRows::Shown(source), 1, 3);
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen.last(), QString::fromStdString(std::string(source.Text(3, 0))));
    shown.SetInsertItemNotify(nullptr);
}

void FrameworkTest::rebuiltListPaintsItsRowsOnce() {
    ShownList shown;
    CListCtrl& list = shown.list;
    // The window's own first paints (exposure, activation) come before the counting.
    QVERIFY(QTest::qWaitForWindowActive(&list));
    QTest::qWait(20);
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    list.viewport()->installEventFilter(&counter);
    // Few rows, then enough for a scroll bar, which narrows the rows' area, then few again.
    for (int rows : {3, 500, 20}) {
        counter.paints = 0;
        list.SetRedraw(false);
        list.DeleteAllItems();
        Fill(list, rows);
        list.SetRedraw(true);
        QTRY_VERIFY(counter.paints > 0);
        QTest::qWait(50);
        QCOMPARE(counter.paints, 1);
    }
}

void FrameworkTest::templateBuilder() {
    TestDialog dialog;
    const DialogUnits du(DialogFont());
    QVERIFY(du.CharWidth() >= 4 && du.CharHeight() >= 10);
    QCOMPARE(dialog.size(), QSize(du.X(110), du.Y(80)));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("テスト"));
    auto* edit = GetDlgItem<QLineEdit>(&dialog, 1002);
    QVERIFY(edit);
    QCOMPARE(edit->geometry(), du.Rect(40, 4, 60, 12));
    QVERIFY(GetDlgItem<QPushButton>(&dialog, 1)->isDefault());
    QVERIFY(!GetDlgItem<QPushButton>(&dialog, 1004)->isDefault());
    // Tab order is template order; a button without the tab-stop style is skipped.
    QCOMPARE(NextTabStop(GetDlgItem(&dialog, 1)), static_cast<QWidget*>(edit));
    QCOMPARE(NextTabStop(edit), GetDlgItem(&dialog, 1003));
    QCOMPARE(NextTabStop(GetDlgItem(&dialog, 1003)), GetDlgItem(&dialog, 1));
    QCOMPARE(GetDlgItem(&dialog, 1004)->focusPolicy(), Qt::ClickFocus);
    // A label is its box's buddy, unless it shows '&' as itself; labels are never cut.
    QList<QLabel*> labels = dialog.findChildren<QLabel*>();
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels[0]->buddy(), static_cast<QWidget*>(edit));
    QCOMPARE(labels[1]->buddy(), static_cast<QWidget*>(nullptr));
    for (QLabel* label : labels)
        QVERIFY(label->width() >= label->sizeHint().width());

    // The memo's label is its buddy; the group box, though last in the table, lies
    // behind the controls it frames, and the tab order passes it by.
    EntryDialog entry;
    auto* memo = GetDlgItem<QPlainTextEdit>(&entry, 1005);
    QVERIFY(memo);
    QCOMPARE(entry.findChild<QLabel*>()->buddy(), static_cast<QWidget*>(memo));
    QCOMPARE(entry.childAt(memo->geometry().center()), memo->viewport());
    QCOMPARE(entry.childAt(GetDlgItem(&entry, 1002)->geometry().center()), GetDlgItem(&entry, 1002));
    QCOMPARE(NextTabStop(memo), GetDlgItem(&entry, 1006));
    QVERIFY(qobject_cast<QCheckBox*>(GetDlgItem(&entry, 1006)));
}

void FrameworkTest::dialogExchangesBytes() {
    TestDialog dialog;
    WhenModal("QDialog", [](QWidget* w) {
        auto* edit = GetDlgItem<QLineEdit>(w, 1002);
        QCOMPARE(edit->text(), QStringLiteral("タナ"));
        QCOMPARE(QApplication::focusWidget(), GetDlgItem(w, 1));
        edit->setText(QStringLiteral("ｶﾅ漢字"));
        QTest::keyClick(w, Qt::Key_Return);
    });
    QCOMPARE(dialog.DoModal(), 1);
    QCOMPARE(dialog.m_strName, UnicodeToCp932(QStringLiteral("ｶﾅ漢字")).bytes);
    WhenModal("QDialog", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    QCOMPARE(dialog.DoModal(), 2);
}

void FrameworkTest::dialogRefusesTextTheCodePageCannotHold() {
    TestDialog dialog;
    QString message;
    bool bStillOpen = false;
    QWidget* focus = nullptr;
    WhenModal("QDialog", [&](QWidget* w) {
        QWidget* edit = GetDlgItem(w, 1002);
        QTest::keyClicks(edit, "a");
        // One key press with the whole character, as an input method delivers it.
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("\U0001F600"), Qt::NoModifier);
        AnswerMessageBox(QMessageBox::Ok, &message);
        GetDlgItem<QPushButton>(w, 1)->click();
        bStillOpen = w->isVisible();
        focus = w->focusWidget();
        static_cast<QDialog*>(w)->reject();
    });
    QCOMPARE(dialog.DoModal(), 2);
    // The box stays open with the focus on the control at fault, and the member keeps its bytes.
    QVERIFY(bStillOpen);
    QCOMPARE(focus, GetDlgItem(&dialog, 1002));
    QVERIFY2(message.contains(QStringLiteral("\U0001F600")), qPrintable(message));
    QCOMPARE(dialog.m_strName, std::string("\x83\x5e\x83\x69"));
}

void FrameworkTest::untouchedFieldsKeepTheirBytes() {
    EntryDialog dialog;
    // タ, a byte that is no character, NUL, a lone CR; a memo with every kind of line break and a cut lead byte.
    const std::string name("\x83\x5e\xff\x00\x0dz", 6);
    const std::string memo("a\nb\r\nc\rd\x82", 9);
    dialog.m_strName = name;
    dialog.m_strMemo = memo;
    MessageBoxRecorder boxes;
    WhenModal("QDialog", [](QWidget* w) {
        QVERIFY(GetDlgItem<QLineEdit>(w, 1002)->text().contains(QChar(0xFFFD)));
        QTest::keyClick(GetDlgItem(w, 1002), Qt::Key_Return);
        if (w->isVisible())
            static_cast<QDialog*>(w)->reject();
    });
    QCOMPARE(dialog.DoModal(), IDOK);
    QCOMPARE(dialog.m_strName, name);
    QCOMPARE(dialog.m_strMemo, memo);
    // A changed memo goes back with CR LF line breaks; the untouched name still keeps its bytes.
    dialog.m_strMemo = UnicodeToCp932(QStringLiteral("一行目\n二行目")).bytes;
    WhenModal("QDialog", [](QWidget* w) {
        auto* box = GetDlgItem<QPlainTextEdit>(w, 1005);
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClicks(box, "!");
        QTest::keyClick(GetDlgItem(w, 1002), Qt::Key_Return);
        if (w->isVisible())
            static_cast<QDialog*>(w)->reject();
    });
    QCOMPARE(dialog.DoModal(), IDOK);
    QCOMPARE(dialog.m_strMemo, UnicodeToCp932(QStringLiteral("一行目\r\n二行目!")).bytes);
    QCOMPARE(dialog.m_strName, name);
    QCOMPARE(boxes.m_texts, QStringList());
}

void FrameworkTest::numbersAndCheckBoxes_data() {
    QTest::addColumn<QString>("ranged");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<int>("nFocus");
    const QString range = QStringLiteral("0 から 9999 までの整数を入力してください。");
    const QString number = QStringLiteral("整数を入力してください。");
    const auto row = [](const char* name, const char* ranged, const char* plain, const QString& message, int nFocus) {
        QTest::newRow(name) << QString(ranged) << QString(plain) << message << nFocus;
    };
    row("accepted", " 9999 ", "-2147483648", QString(), 0);
    row("above the range", "10000", "0", range, 1007);
    row("no number where a range is checked", "12a", "0", range, 1007);
    row("beyond 32 bits", "5", "2147483648", number, 1008);
}

void FrameworkTest::numbersAndCheckBoxes() {
    QFETCH(QString, ranged);
    QFETCH(QString, plain);
    QFETCH(QString, message);
    QFETCH(int, nFocus);
    EntryDialog dialog;
    QString shown;
    MessageBoxRecorder boxes;
    QWidget* focus = nullptr;
    WhenModal("QDialog", [&](QWidget* w) {
        auto* check = GetDlgItem<QCheckBox>(w, 1006);
        shown = QStringLiteral("%1 %2 %3")
                    .arg(GetDlgItem<QLineEdit>(w, 1007)->text(), GetDlgItem<QLineEdit>(w, 1008)->text())
                    .arg(check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        GetDlgItem<QLineEdit>(w, 1007)->setText(ranged);
        GetDlgItem<QLineEdit>(w, 1008)->setText(plain);
        QTest::keyClick(GetDlgItem(w, 1002), Qt::Key_Return);
        focus = w->focusWidget();
        if (w->isVisible())
            static_cast<QDialog*>(w)->reject();
    });
    const int result = dialog.DoModal();
    QCOMPARE(shown, QStringLiteral("42 -7 1"));
    QCOMPARE(boxes.m_texts, message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) {
        QCOMPARE(result, IDOK);
        QCOMPARE(dialog.m_nRanged, 9999);
        QCOMPARE(dialog.m_nPlain, std::numeric_limits<int>::min());
        QCOMPARE(dialog.m_bCheck, 0);
        return;
    }
    QCOMPARE(result, IDCANCEL);
    QCOMPARE(focus, GetDlgItem(&dialog, nFocus));
    // Nothing is stored, not even what was exchanged before the box at fault.
    QCOMPARE(dialog.m_nRanged, 42);
    QCOMPARE(dialog.m_nPlain, -7);
    QCOMPARE(dialog.m_bCheck, 1);
}

void FrameworkTest::memoBoxHoldsTheLinesItShows() {
    int destroyed = 0;
    QPointer<EntryDialog> dialog = new EntryDialog(&destroyed);
    dialog->m_strMemo = "L0\r\nL1\r\nL2\r\nL3\r\nL4\r\nL5\r\nL6\r\nL7";
    dialog->Create();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    auto* memo = GetDlgItem<QPlainTextEdit>(dialog, 1005);
    QScrollBar* bar = memo->verticalScrollBar();
    memo->setFocus();
    // A longer memo than the box shows reads to its end with the arrow keys and the wheel.
    for (int i = 0; i < 7; ++i)
        QTest::keyClick(memo, Qt::Key_Down);
    QCOMPARE(memo->textCursor().blockNumber(), 7);
    QVERIFY(memo->viewport()->rect().contains(memo->cursorRect()));
    QTest::keyClick(memo, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(bar->value(), 0);
    QWheelEvent wheel(QPointF(5, 5), memo->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(memo->viewport(), &wheel);
    QVERIFY(bar->value() > 0);

    // Enter makes lines until the box is full, and every line made shows.
    memo->clear();
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(memo, Qt::Key_Return);
    const int lines = memo->blockCount();
    QVERIFY2(lines >= 2 && lines < 20, qPrintable(QString::number(lines)));
    QTRY_COMPARE(bar->maximum(), 0);
    // A paste that would make more lines is refused whole; one within a line is not.
    QApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(memo->toPlainText(), QString(lines - 1, QLatin1Char('\n')));
    QApplication::clipboard()->setText(QStringLiteral("xy"));
    QTest::keyClick(memo, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(memo->toPlainText().endsWith(QLatin1String("\nxy")));
    // One more line would not have shown.
    memo->appendPlainText(QString());
    QTRY_VERIFY(bar->maximum() > 0);
    // Tab leaves the box.
    QTest::keyClick(memo, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), GetDlgItem(dialog, 1006));
    dialog->DestroyWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull());
}

void FrameworkTest::modelessDialogs() {
    MessageBoxRecorder boxes;
    CFrameWnd frame;
    frame.resize(300, 200);
    const auto activate = [&frame] {
        frame.show();
        frame.activateWindow();
        return QTest::qWaitForWindowActive(&frame);
    };
    QVERIFY(activate());
    int destroyed = 0;
    // Owned by the active window; the first tab stop takes the focus.
    QPointer<EntryDialog> dialog = new EntryDialog(&destroyed);
    QCOMPARE(dialog->parentWidget(), static_cast<QWidget*>(&frame));
    QVERIFY(dialog->Create());
    QTRY_COMPARE(QApplication::focusWidget(), GetDlgItem(dialog, IDOK));
    // Enter in a one-line box is OK: stored, window gone, PostNcDestroy once, then deleted.
    auto* name = GetDlgItem<QLineEdit>(dialog, 1002);
    name->setText(QStringLiteral("new"));
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->m_strName, std::string("new"));
    dialog->DestroyWindow();
    QCOMPARE(destroyed, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(dialog.isNull());

    // Escape, the close box and the frame closing each end in OnCancel: nothing stored.
    const std::function<void(EntryDialog&)> closers[] = {
        [](EntryDialog& d) { QTest::keyClick(GetDlgItem(&d, 1002), Qt::Key_Escape); },
        [](EntryDialog& d) { d.close(); },
        [&frame](EntryDialog&) { frame.close(); },
    };
    for (const auto& closeIt : closers) {
        destroyed = 0;
        QVERIFY(activate());
        dialog = new EntryDialog(&destroyed);
        dialog->Create();
        GetDlgItem<QLineEdit>(dialog, 1002)->setText(QStringLiteral("typed"));
        closeIt(*dialog);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->m_strName, std::string("name"));
        QCOMPARE(destroyed, 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(dialog.isNull());
    }

    // A box opened from inside a modal dialog belongs to that dialog.
    QVERIFY(activate());
    TestDialog modal;
    QWidget* owner = nullptr;
    WhenModal("CDialog", [&owner](QWidget* w) {
        EntryDialog inner;
        owner = inner.parentWidget();
        static_cast<QDialog*>(w)->reject();
    });
    modal.DoModal();
    QCOMPARE(owner, static_cast<QWidget*>(&modal));
    QCOMPARE(boxes.m_texts, QStringList());
}

void FrameworkTest::routerOrderAndUpdateHandlers() {
    // View, document, frame, application: the first of them that answers a command runs it.
    QStringList log;
    Answering<TestApp> app(log, "app", 1);
    Answering<CFrameWnd> frame(log, "frame", 2);
    Answering<CCmdTarget> doc(log, "doc", 3);
    frame.SetActiveView(new Answering<CFormView>(log, "view", 4, DialogTemplate{202, "", 10, 10, {}}));
    frame.SetDocumentTarget(&doc);
    frame.SetHost({&app, {}, {}, {}, {}});
    for (int id = 4; id >= 1; --id)
        QVERIFY(frame.RouteCommand(id));
    QCOMPARE(log, QStringList({"view4", "doc3", "frame2", "app1"}));
    QVERIFY(!frame.RouteCommand(5));
    QVERIFY(!frame.QueryCommand(5).m_bEnabled);
    // The first that answers gives the menu item's state; a disabled command does not run,
    // even from a key, though later targets have a handler.
    log.clear();
    Target checked(log, "doc");
    frame.SetDocumentTarget(&checked);
    const CCmdUI ui = frame.QueryCommand(2);
    QVERIFY(ui.m_bEnabled);
    QVERIFY(ui.m_bChecked);
    Target disabled(log, "off", false);
    frame.SetDocumentTarget(&disabled);
    QVERIFY(!frame.RouteCommand(2));
    QVERIFY(frame.RouteCommand(1));
    QCOMPARE(log, QStringList({"off1"}));
}

#include "FrameworkTest.moc"

std::unique_ptr<QObject> MakeFrameworkTest() {
    return std::make_unique<FrameworkTest>();
}
