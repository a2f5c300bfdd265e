// The Qt half of the framework: the report list, the template builder, the
// command router and the data exchange.

#include "UiTestUtil.h"

#include "platform/Cp932.h"
#include "platform/ui/CmdTarget.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/ListCtrl.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

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

} // namespace

/// A dialog of the template above whose OK moves the first box into a byte string.
class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(DialogTemplate{200, "テスト", 110, 80, kControls}) {}
    std::string m_strName = "\x83\x5e\x83\x69"; // タナ

protected:
    void DoDataExchange(CDataExchange& dx) override { DDX_Text(dx, 1002, m_strName); }
};

/// Answers a few commands and records which ran.
class Target : public CCmdTarget {
public:
    explicit Target(QStringList& log, const QString& name, bool bEnable = true) {
        OnCommand(1, [&log, name] { log << name + "1"; });
        OnCommand(2, [&log, name] { log << name + "2"; });
        OnUpdateCommand(2, [bEnable](CCmdUI& ui) {
            ui.Enable(bEnable);
            ui.SetCheck(1);
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
    void templateBuilder();
    void dialogExchangesBytes();
    void dialogRefusesTextTheCodePageCannotHold();
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
        GetDlgItem<QLineEdit>(w, 1002)->setText(QStringLiteral("a\U0001F600b"));
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

void FrameworkTest::routerOrderAndUpdateHandlers() {
    QStringList log;
    CFrameWnd frame;
    Target doc(log, "doc");
    frame.SetDocumentTarget(&doc);
    QVERIFY(frame.RouteCommand(1));
    QCOMPARE(log, QStringList{"doc1"});
    const CCmdUI ui = frame.QueryCommand(2);
    QVERIFY(ui.m_bEnabled);
    QCOMPARE(ui.m_nCheck, 1);
    QVERIFY(!frame.RouteCommand(3));
    QVERIFY(!frame.QueryCommand(3).m_bEnabled);
    // A disabled command does not run, even from a key.
    Target disabled(log, "off", false);
    frame.SetDocumentTarget(&disabled);
    QVERIFY(!frame.RouteCommand(2));
    QVERIFY(frame.RouteCommand(1));
    QCOMPARE(log, QStringList({"doc1", "off1"}));
}

#include "FrameworkTest.moc"

std::unique_ptr<QObject> MakeFrameworkTest() {
    return std::make_unique<FrameworkTest>();
}
