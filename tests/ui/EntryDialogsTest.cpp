// Adding, looking at, changing and deleting entries through the real dialogs,
// the menu, the list and the keys, as a user does it.

#include "UiTestUtil.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "dialogs/DataEntryDlg.h"
#include "platform/Cp932.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "view/EntryActions.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

const std::vector<PhoneRecord> kBook = {
    Rec("abe", QStringLiteral("阿部"), "03-1111-0001"),
    Rec("sato", QStringLiteral("佐藤"), "03-1111-0002", "memo\r\nline 2"),
    Rec("tanaka", QStringLiteral("田中"), "03-1111-0003"),
};

const QString kDefaultBook = QStringLiteral("電話帳");

QStringList BookNames(const CMarloDoc& doc) {
    QStringList out;
    for (const PhoneRecordView record : doc.m_pData->m_list)
        out << Cp932ToUnicode(record.m_strRomaji);
    return out;
}

std::vector<PhoneRecord> Records(const CMarloDoc& doc) {
    std::vector<PhoneRecord> out;
    for (const PhoneRecordView record : doc.m_pData->m_list)
        out.push_back(record.ToRecord());
    return out;
}

CDataEntryDlg* EntryDialog(const RunningApp& run) {
    return dynamic_cast<CDataEntryDlg*>(run.View().m_pEntryDlg);
}

template <class T = QLineEdit> T& Box(QWidget* dlg, int nId) {
    T* box = GetDlgItem<T>(dlg, nId);
    if (!box)
        throw std::runtime_error("no such control");
    return *box;
}

/// Types `text`: ASCII with the keys, other text as an input method commits it.
void Type(QWidget& box, const QString& text) {
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        QTest::keyClicks(&box, text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&box)) {
        edit->insert(text);
    } else {
        qobject_cast<QPlainTextEdit*>(&box)->insertPlainText(text);
    }
}

/// Types an entry into the open data-entry dialog, key by key; line breaks of the memo with Enter.
void TypeEntry(CDataEntryDlg& dlg, const QString& romaji, const QString& kanji = {}, const QString& phone = {},
               const QString& memo = {}) {
    for (auto [id, text] : {std::pair{IDC_ENTRY_ROMAJI, romaji}, {IDC_ENTRY_KANJI, kanji}, {IDC_ENTRY_PHONE, phone}}) {
        Box(&dlg, id).clear();
        Type(Box(&dlg, id), text);
    }
    auto& memoBox = Box<QPlainTextEdit>(&dlg, IDC_ENTRY_MEMO);
    memoBox.clear();
    const QStringList lines = memo.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(&memoBox, Qt::Key_Return);
        Type(memoBox, lines[i]);
    }
}

/// A record from Unicode texts; the memo's line breaks become CR LF.
PhoneRecord Entry(const QString& romaji, const QString& kanji, const QString& phone, const QString& memo) {
    QString crlf = memo;
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return {UnicodeToCp932(romaji).bytes, UnicodeToCp932(kanji).bytes, UnicodeToCp932(phone).bytes,
            UnicodeToCp932(crlf).bytes};
}

void ClickAdd(CDataEntryDlg& dlg) {
    QTest::mouseClick(&Box<QPushButton>(&dlg, IDC_ENTRY_ADD), Qt::LeftButton);
}

/// Runs a menu command as the user does: the menu opens (its update handlers run), then the item.
QAction* TriggerItem(CFrameWnd& frame, int nId) {
    QAction* item = frame.FindMenuItem(nId);
    if (!item)
        throw std::runtime_error("no such menu item");
    emit static_cast<QMenu*>(item->parent())->aboutToShow();
    if (item->isEnabled())
        item->trigger();
    return item;
}

/// Closes every modal dialog that opens while it lives and notes its class: for
/// steps after which no dialog may open at all.
class NoDialogExpected {
public:
    NoDialogExpected() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                m_shown << QString::fromLatin1(modal->metaObject()->className());
                modal->reject();
            }
        });
        m_timer.start(20);
    }
    QStringList m_shown;

private:
    QTimer m_timer;
};

QPoint RowCenter(const CListCtrl& list, int row) {
    return list.visualRect(list.model()->index(row, 0)).center();
}

void ClickRow(CListCtrl& list, int row) {
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, row));
}

void DoubleClickRow(CListCtrl& list, int row) {
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, RowCenter(list, row));
}

struct App : RunningApp {
    explicit App(const TempWorkDir& dir, const std::vector<PhoneRecord>& book = kBook) {
        WriteBook(dir.Path(kDefaultBook), book);
        if (!Start())
            throw std::runtime_error("the program did not start");
    }
    void ShowAll() { QTest::mouseClick(View().GetDlgItem<QPushButton>(IDC_SHOWALL), Qt::LeftButton); }
    CListCtrl& List() { return View().m_listCtrl; }
    CDataEntryDlg* OpenEntry() {
        TriggerItem(Frame(), ID_DATA_ENTRY);
        return EntryDialog(*this);
    }
    void ModifyMode(bool bOn) {
        if (View().m_bModifyMode != bOn)
            TriggerItem(Frame(), ID_DATA_MODIFY);
    }
};

} // namespace

class EntryDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void entryDialogFilesEntries();
    void romajiWarningStopsTheAdd_data();
    void romajiWarningStopsTheAdd();
    void entryDialogClosesWithoutAdding_data();
    void entryDialogClosesWithoutAdding();
    void textTheCodePageCannotHoldIsRefused();
    void entryDialogClosesWithTheMainWindow();
    void modifyModeCheckMark();
    void displayShowsTheRowAndChangesNothing();
    void modifyReplacesTheRecord();
    void deleteRemovesTheMarkedRow();
    void rowWhoseRecordIsGone();
    void memoBytesRoundTrip();
    void enterPressesTheFocusedButton();
    void undoAndRedoOfEntryChanges();
};

void EntryDialogsTest::entryDialogFilesEntries() {
    TempWorkDir dir;
    App run(dir);
    run.ShowAll();
    QCOMPARE(run.List().GetItemCount(), 3);
    CDataEntryDlg* dlg = run.OpenEntry();
    QVERIFY(dlg);
    // Modeless, beside the main window, the list emptied, the focus on OK.
    QVERIFY(dlg->isVisible() && !dlg->isModal());
    QCOMPARE(dlg->windowTitle(), QStringLiteral("データ入力"));
    QCOMPARE(run.List().GetItemCount(), 0);
    QTRY_COMPARE(QApplication::focusWidget(), GetDlgItem(dlg, IDOK));
    QVERIFY(!dlg->geometry().intersects(run.Frame().geometry()));
    // The labels come before their boxes in another order: each still names its own box.
    QStringList buddies;
    for (QLabel* label : dlg->findChildren<QLabel*>())
        buddies << label->text() + QLatin1Char('=') + label->buddy()->objectName();
    QCOMPARE(buddies, QStringList({QStringLiteral("ﾛｰﾏ字名=1002"), QStringLiteral("漢字名=1004"),
                                   QStringLiteral("電話番号=1003"), QStringLiteral("メモ=1005")}));

    TypeEntry(*dlg, "suzuki", QStringLiteral("鈴木"), "090-1", QStringLiteral("会社\n自宅"));
    ClickAdd(*dlg);
    TypeEntry(*dlg, "ab 12");
    ClickAdd(*dlg);
    TypeEntry(*dlg, "   ");
    ClickAdd(*dlg);
    ClickAdd(*dlg); // the same entry twice is two entries
    QCOMPARE(BookNames(run.Doc()), QStringList({"   ", "   ", "ab 12", "abe", "sato", "suzuki", "tanaka"}));
    // The list shows the new entries newest first, with all four texts.
    QCOMPARE(Column(run.List()), QStringList({"   ", "   ", "ab 12", "suzuki"}));
    const PhoneRecord suzuki = Entry("suzuki", QStringLiteral("鈴木"), "090-1", QStringLiteral("会社\n自宅"));
    QCOMPARE(run.Doc().m_pData->m_list[5], suzuki);
    QCOMPARE(ReadRow(run.List(), 3), suzuki);
    QVERIFY(run.Doc().IsModified());
    // The boxes keep their text after an add; an empty romaji box adds nothing, silently.
    QCOMPARE(Box(dlg, IDC_ENTRY_ROMAJI).text(), QStringLiteral("   "));
    {
        NoDialogExpected none;
        TypeEntry(*dlg, QString(), QStringLiteral("名無し"), "1", "memo");
        ClickAdd(*dlg);
        QTest::qWait(60);
        QVERIFY(none.m_shown.isEmpty());
    }
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(7));
    // "クリアー" empties the boxes and nothing else.
    QTest::mouseClick(&Box<QPushButton>(dlg, IDC_ENTRY_CLEAR), Qt::LeftButton);
    for (int id : {IDC_ENTRY_ROMAJI, IDC_ENTRY_KANJI, IDC_ENTRY_PHONE})
        QVERIFY(Box(dlg, id).text().isEmpty());
    QVERIFY(Box<QPlainTextEdit>(dlg, IDC_ENTRY_MEMO).toPlainText().isEmpty());
    QCOMPARE(run.List().GetItemCount(), 4);
    // A second "データ入力" opens no second dialog.
    TriggerItem(run.Frame(), ID_DATA_ENTRY);
    QCOMPARE(EntryDialog(run), dlg);
    QCOMPARE(run.View().findChildren<CDataEntryDlg*>().size(), 1);
    // Searches see the new entries at once, and their rows file nothing.
    QTest::keyClicks(run.View().GetDlgItem<QLineEdit>(IDC_SEARCH), "su");
    QCOMPARE(Column(run.List()), QStringList{"suzuki"});
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(7));
    // Leaving the phone book asks to save it.
    QString prompt;
    AnswerMessageBox(QMessageBox::Cancel, &prompt);
    TriggerItem(run.Frame(), ID_FILE_NEW);
    QCOMPARE(prompt, QStringLiteral("電話帳 への変更を保存しますか?"));
}

void EntryDialogsTest::romajiWarningStopsTheAdd_data() {
    QTest::addColumn<QString>("romaji");
    QTest::addColumn<QString>("close");
    QTest::newRow("capital") << "Tanaka"
                             << "ok";
    QTest::newRow("hyphen") << "tana-ka"
                            << "ok";
    QTest::newRow("full stop") << "tana.ka"
                               << "ok";
    QTest::newRow("half-width katakana") << QStringLiteral("ﾀﾅｶ") << "ok";
    QTest::newRow("kanji") << QStringLiteral("田中") << "ok";
    QTest::newRow("emoji") << QStringLiteral("tanaka\U0001F600") << "ok";
    QTest::newRow("Enter") << "Tanaka"
                           << "enter";
    QTest::newRow("Escape") << "Tanaka"
                            << "escape";
    QTest::newRow("close box") << "Tanaka"
                               << "close";
}

void EntryDialogsTest::romajiWarningStopsTheAdd() {
    QFETCH(QString, romaji);
    QFETCH(QString, close);
    TempWorkDir dir;
    App run(dir);
    CDataEntryDlg* dlg = run.OpenEntry();
    QVERIFY(dlg);
    TypeEntry(*dlg, romaji, QStringLiteral("田中"), "03");
    QString caption, text;
    bool bIcon = false;
    WhenModal("CRomajiWarnDlg", [&](QWidget* w) {
        caption = w->windowTitle();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            text += label->text();
            const QPixmap pixmap = label->pixmap();
            bIcon = bIcon || (!pixmap.isNull() && pixmap.devicePixelRatio() == w->devicePixelRatioF());
        }
        if (close == "ok")
            QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
        else if (close == "enter")
            QTest::keyClick(w, Qt::Key_Return);
        else if (close == "escape")
            QTest::keyClick(w, Qt::Key_Escape);
        else
            w->close();
    });
    ClickAdd(*dlg);
    QCOMPARE(caption, QStringLiteral("Marlo"));
    QCOMPARE(text, QStringLiteral("ﾛｰﾏ字名には、半角の英数字を入力してください"));
    QVERIFY(bIcon);
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QCOMPARE(run.List().GetItemCount(), 0);
    QVERIFY(!run.Doc().IsModified());
    QVERIFY(dlg->isVisible());
    QCOMPARE(Box(dlg, IDC_ENTRY_ROMAJI).text(), romaji);
}

void EntryDialogsTest::entryDialogClosesWithoutAdding_data() {
    QTest::addColumn<int>("box"); // where the key goes; 0: the dialog itself
    QTest::addColumn<int>("key"); // 0: the close box
    QTest::newRow("OK") << int(IDOK) << int(Qt::Key_Space);
    QTest::newRow("Enter in the romaji box") << int(IDC_ENTRY_ROMAJI) << int(Qt::Key_Return);
    QTest::newRow("Enter in the kanji box") << int(IDC_ENTRY_KANJI) << int(Qt::Key_Return);
    QTest::newRow("Enter in the phone box") << int(IDC_ENTRY_PHONE) << int(Qt::Key_Enter);
    QTest::newRow("Escape") << int(IDC_ENTRY_MEMO) << int(Qt::Key_Escape);
    QTest::newRow("close box") << 0 << 0;
}

void EntryDialogsTest::entryDialogClosesWithoutAdding() {
    QFETCH(int, box);
    QFETCH(int, key);
    TempWorkDir dir;
    App run(dir);
    QPointer<CDataEntryDlg> dlg = run.OpenEntry();
    QVERIFY(dlg);
    TypeEntry(*dlg, "kato", QStringLiteral("加藤"), "03");
    if (key == 0) {
        dlg->close();
    } else {
        QWidget& target = Box<QWidget>(dlg, box);
        target.setFocus();
        QTest::keyClick(&target, static_cast<Qt::Key>(key));
    }
    QVERIFY(!run.View().m_pEntryDlg);
    QTRY_VERIFY(!dlg); // the dialog deletes itself once its window is gone
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QVERIFY(!run.Doc().IsModified());
    // The next "データ入力" opens a fresh dialog, and empties the list again.
    run.ShowAll();
    CDataEntryDlg* fresh = run.OpenEntry();
    QVERIFY(fresh);
    QVERIFY(Box(fresh, IDC_ENTRY_ROMAJI).text().isEmpty());
    QCOMPARE(run.List().GetItemCount(), 0);
    // Enter right after opening presses OK, which has the focus.
    QTRY_COMPARE(QApplication::focusWidget(), GetDlgItem(fresh, IDOK));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(!run.View().m_pEntryDlg);
}

void EntryDialogsTest::textTheCodePageCannotHoldIsRefused() {
    TempWorkDir dir;
    App run(dir);
    CDataEntryDlg* dlg = run.OpenEntry();
    QVERIFY(dlg);
    // An emoji in the kanji box, a kanji outside the code page in the memo.
    TypeEntry(*dlg, "ito", QStringLiteral("伊藤\U0001F600"), "03", QStringLiteral("\U00020BB7野家"));
    QString message;
    AnswerMessageBox(QMessageBox::Ok, &message);
    ClickAdd(*dlg);
    QVERIFY2(message.contains(QStringLiteral("\U0001F600")), qPrintable(message));
    QCOMPARE(dlg->focusWidget(), GetDlgItem(dlg, IDC_ENTRY_KANJI));
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QCOMPARE(Box(dlg, IDC_ENTRY_KANJI).text(), QStringLiteral("伊藤\U0001F600"));
    Box(dlg, IDC_ENTRY_KANJI).setText(QStringLiteral("伊藤"));
    AnswerMessageBox(QMessageBox::Ok, &message);
    ClickAdd(*dlg);
    QVERIFY2(message.contains(QStringLiteral("\U00020BB7")), qPrintable(message));
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    // The modify dialog refuses such text the same way and stays open.
    QTest::mouseClick(&Box<QPushButton>(dlg, IDOK), Qt::LeftButton);
    run.ShowAll();
    run.ModifyMode(true);
    ClickRow(run.List(), 0);
    bool bStillOpen = false;
    WhenModal("CDataModifyDlg", [&](QWidget* w) {
        Box(w, IDC_MODIFY_PHONE).setText(QStringLiteral("03\U0001F4DE"));
        AnswerMessageBox(QMessageBox::Ok, &message);
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
        bStillOpen = w->isVisible();
        QTest::mouseClick(GetDlgItem(w, IDCANCEL), Qt::LeftButton);
    });
    DoubleClickRow(run.List(), 0);
    QVERIFY(bStillOpen);
    QVERIFY2(message.contains(QStringLiteral("\U0001F4DE")), qPrintable(message));
    QCOMPARE(Records(run.Doc()), kBook);
    QVERIFY(!run.Doc().IsModified());
}

void EntryDialogsTest::entryDialogClosesWithTheMainWindow() {
    TempWorkDir dir;
    App run(dir);
    QPointer<CDataEntryDlg> dlg = run.OpenEntry();
    QVERIFY(dlg);
    TypeEntry(*dlg, "endo");
    ClickAdd(*dlg);
    TypeEntry(*dlg, "mori");
    // Cancel at the save prompt keeps both windows.
    AnswerMessageBox(QMessageBox::Cancel);
    run.Frame().close();
    QVERIFY(run.Frame().isVisible());
    QVERIFY(dlg && dlg->isVisible());
    // No: the main window goes, and the dialog with it, adding nothing it holds.
    AnswerMessageBox(QMessageBox::No);
    run.Frame().close();
    QVERIFY(!run.Frame().isVisible());
    QTRY_VERIFY(!dlg);
    QVERIFY(!run.View().m_pEntryDlg);
    QCOMPARE(BookNames(run.Doc()), QStringList({"abe", "endo", "sato", "tanaka"}));
}

void EntryDialogsTest::modifyModeCheckMark() {
    TempWorkDir dir;
    App run(dir);
    QAction* item = TriggerItem(run.Frame(), ID_DATA_MODIFY);
    QVERIFY(item->isEnabled());
    emit static_cast<QMenu*>(item->parent())->aboutToShow();
    QVERIFY(item->isChecked());
    // The mode outlives the phone book it was set in.
    TriggerItem(run.Frame(), ID_FILE_NEW);
    QVERIFY(run.View().m_bModifyMode);
    TriggerItem(run.Frame(), ID_DATA_MODIFY);
    emit static_cast<QMenu*>(item->parent())->aboutToShow();
    QVERIFY(!item->isChecked());
    QVERIFY(!run.View().m_bModifyMode);
}

void EntryDialogsTest::displayShowsTheRowAndChangesNothing() {
    TempWorkDir dir;
    App run(dir);
    run.ShowAll();
    ClickRow(run.List(), 1);
    QStringList texts;
    WhenModal("CDataViewDlg", [&](QWidget* w) {
        texts << w->windowTitle();
        for (int id : {IDC_VIEW_ROMAJI, IDC_VIEW_KANJI, IDC_VIEW_PHONE})
            texts << Box(w, id).text();
        texts << Box<QPlainTextEdit>(w, IDC_VIEW_MEMO).toPlainText();
        QCOMPARE(QApplication::focusWidget(), GetDlgItem(w, IDOK));
        Box(w, IDC_VIEW_KANJI).setText(QStringLiteral("変更"));
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    });
    DoubleClickRow(run.List(), 1);
    QCOMPARE(texts, QStringList({QStringLiteral("データ表示"), "sato", QStringLiteral("佐藤"), "03-1111-0002",
                                 "memo\nline 2"}));
    QCOMPARE(Records(run.Doc()), kBook);
    QCOMPARE(Column(run.List(), 1)[1], QStringLiteral("佐藤"));
    QVERIFY(!run.Doc().IsModified());
    // Escape closes it as well; Delete outside modify mode does nothing.
    WhenModal("CDataViewDlg", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    DoubleClickRow(run.List(), 0);
    QTest::keyClick(&run.List(), Qt::Key_Delete);
    QCOMPARE(run.List().GetItemCount(), 3);
    QCOMPARE(Records(run.Doc()), kBook);
}

void EntryDialogsTest::modifyReplacesTheRecord() {
    TempWorkDir dir;
    App run(dir);
    run.ShowAll();
    run.ModifyMode(true);
    auto modify = [&](int row, std::function<void(QWidget*)> edit) {
        ClickRow(run.List(), row);
        WhenModal("CDataModifyDlg", std::move(edit));
        DoubleClickRow(run.List(), row);
    };
    // Cancel changes nothing.
    modify(1, [](QWidget* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("データ修正"));
        QCOMPARE(Box<QPlainTextEdit>(w, IDC_MODIFY_MEMO).toPlainText(), QStringLiteral("memo\nline 2"));
        Box(w, IDC_MODIFY_KANJI).setText(QStringLiteral("変更"));
        QTest::mouseClick(GetDlgItem(w, IDCANCEL), Qt::LeftButton);
    });
    QCOMPARE(Records(run.Doc()), kBook);
    QVERIFY(!run.Doc().IsModified());
    // A new kanji name changes that record only; the row shows it in its place.
    modify(1, [](QWidget* w) {
        Box(w, IDC_MODIFY_KANJI).setText(QStringLiteral("佐東"));
        QTest::keyClick(&Box(w, IDC_MODIFY_KANJI), Qt::Key_Return);
    });
    QCOMPARE(run.Doc().m_pData->m_list[1], Rec("sato", QStringLiteral("佐東"), "03-1111-0002", "memo\r\nline 2"));
    QCOMPARE(Column(run.List(), 1),
             QStringList({QStringLiteral("阿部"), QStringLiteral("佐東"), QStringLiteral("田中")}));
    QVERIFY(run.Doc().IsModified());
    // A name that cannot be filed keeps the dialog open after the warning.
    bool bStillOpen = false;
    modify(0, [&](QWidget* w) {
        Box(w, IDC_MODIFY_ROMAJI).setText("A-be");
        WhenModal("CRomajiWarnDlg", [](QWidget* warn) { QTest::keyClick(warn, Qt::Key_Return); });
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
        bStillOpen = w->isVisible() && Box(w, IDC_MODIFY_ROMAJI).text() == "A-be";
        // From the start of the alphabet to its end: the row stays where it was.
        Box(w, IDC_MODIFY_ROMAJI).setText("zeta");
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    });
    QVERIFY(bStillOpen);
    QCOMPARE(Column(run.List()), QStringList({"zeta", "sato", "tanaka"}));
    QCOMPARE(BookNames(run.Doc()), QStringList({"sato", "tanaka", "zeta"}));
    run.ShowAll();
    QCOMPARE(Column(run.List()), QStringList({"sato", "tanaka", "zeta"}));
    // An emptied name is filed before every other.
    modify(1, [](QWidget* w) {
        Box(w, IDC_MODIFY_ROMAJI).clear();
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    });
    QCOMPARE(BookNames(run.Doc()), QStringList({"", "sato", "zeta"}));
    // A phone book of one record keeps it as its only one.
    WriteBook(dir.Path("one"), {Rec("ueda")});
    AnswerMessageBox(QMessageBox::No);
    QVERIFY(run.app->OpenDocumentFile(dir.Path("one")) == CDocument::OpenResult::Opened);
    run.ShowAll();
    modify(0, [](QWidget* w) {
        Box(w, IDC_MODIFY_PHONE).setText("1");
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    });
    QCOMPARE(Records(run.Doc()), std::vector<PhoneRecord>{Rec("ueda", {}, "1")});
}

void EntryDialogsTest::deleteRemovesTheMarkedRow() {
    TempWorkDir dir;
    const PhoneRecord twin = Rec("mori", QStringLiteral("森"), "1");
    App run(dir, {Rec("abe"), twin, twin, Rec("ono")});
    QTest::keyClicks(run.View().GetDlgItem<QLineEdit>(IDC_SEARCH), "mo");
    QCOMPARE(Column(run.List()), QStringList({"mori", "mori"}));
    run.ModifyMode(true);
    // No selection mark: neither Delete nor a double-click does anything.
    {
        NoDialogExpected none;
        run.List().setFocus();
        QTest::keyClick(&run.List(), Qt::Key_Delete);
        QTest::mouseDClick(run.List().viewport(), Qt::LeftButton, {}, QPoint(5, run.List().viewport()->height() - 3));
        QTest::qWait(60);
        QVERIFY(none.m_shown.isEmpty());
    }
    QCOMPARE(run.List().GetItemCount(), 2);
    QVERIFY(!run.Doc().IsModified());
    // Several rows selected: the one at the mark goes, and the first equal record.
    ClickRow(run.List(), 0);
    QTest::mouseClick(run.List().viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCenter(run.List(), 1));
    QTest::keyClick(&run.List(), Qt::Key_Delete);
    QCOMPARE(run.List().GetItemCount(), 1);
    QCOMPARE(BookNames(run.Doc()), QStringList({"abe", "mori", "ono"}));
    QVERIFY(run.Doc().IsModified());
    // The remaining row still finds the remaining record.
    ClickRow(run.List(), 0);
    QTest::keyClick(&run.List(), Qt::Key_Delete);
    QCOMPARE(run.List().GetItemCount(), 0);
    QCOMPARE(BookNames(run.Doc()), QStringList({"abe", "ono"}));
}

void EntryDialogsTest::rowWhoseRecordIsGone() {
    TempWorkDir dir;
    App run(dir);
    run.ShowAll();
    // Another phone book: the old rows stay in the list, their records do not.
    WriteBook(dir.Path("other"), {Rec("sato")});
    QVERIFY(run.app->OpenDocumentFile(dir.Path("other")) == CDocument::OpenResult::Opened);
    QCOMPARE(run.List().GetItemCount(), 3);
    run.ModifyMode(true);
    ClickRow(run.List(), 1);
    WhenModal("CDataModifyDlg", [](QWidget* w) { QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton); });
    QString message;
    AnswerMessageBox(QMessageBox::Ok, &message);
    DoubleClickRow(run.List(), 1);
    QVERIFY2(message.contains(QStringLiteral("電話帳にありません")), qPrintable(message));
    QCOMPARE(Records(run.Doc()), std::vector<PhoneRecord>{Rec("sato")});
    QVERIFY(!run.Doc().IsModified());
    // Delete takes the row; the phone book, unchanged, stays unmodified.
    QTest::keyClick(&run.List(), Qt::Key_Delete);
    QCOMPARE(Column(run.List()), QStringList({"abe", "tanaka"}));
    QCOMPARE(Records(run.Doc()), std::vector<PhoneRecord>{Rec("sato")});
    QVERIFY(!run.Doc().IsModified());
}

void EntryDialogsTest::memoBytesRoundTrip() {
    TempWorkDir dir;
    // A lone CR, a NUL, a pair that is no character of the code page, and a memo
    // longer than any fixed buffer: bytes only the file can hold.
    const std::string odd = std::string("a\rb\0c\x81\x20", 7) + "\r\n" + std::string(1500, 'm');
    PhoneRecord abe = Rec("abe", QStringLiteral("阿部"), "1");
    abe.m_strMemo = odd;
    App run(dir, {abe, Rec("ono")});
    QCOMPARE(run.Doc().m_pData->m_list[0].m_strMemo, odd);
    run.ShowAll();
    run.ModifyMode(true);
    ClickRow(run.List(), 0);
    WhenModal("CDataModifyDlg", [](QWidget* w) {
        Box(w, IDC_MODIFY_PHONE).setText("2");
        QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    });
    DoubleClickRow(run.List(), 0);
    // A memo typed with line breaks is stored with CR LF.
    CDataEntryDlg* dlg = run.OpenEntry();
    QVERIFY(dlg);
    TypeEntry(*dlg, "ueda", {}, {}, QStringLiteral("一行目\n二行目"));
    ClickAdd(*dlg);
    QTest::keyClick(&Box(dlg, IDC_ENTRY_ROMAJI), Qt::Key_Escape);
    TriggerItem(run.Frame(), ID_FILE_SAVE);
    QVERIFY(!run.Doc().IsModified());
    CMarloDoc saved;
    QVERIFY(saved.OnOpenDocument(QFile::encodeName(dir.Path(kDefaultBook)).toStdString()));
    abe.m_strPhone = "2";
    QCOMPARE(Records(saved),
             (std::vector<PhoneRecord>{abe, Rec("ono"), Entry("ueda", {}, {}, QStringLiteral("一行目\n二行目"))}));
}

void EntryDialogsTest::enterPressesTheFocusedButton() {
    TempWorkDir dir;
    App run(dir);
    CDataEntryDlg* dlg = run.OpenEntry();
    QVERIFY(dlg);
    auto& ok = Box<QPushButton>(dlg, IDOK);
    // Enter in the memo makes a new line; on "データ追加" it adds and the dialog stays.
    TypeEntry(*dlg, "kato", QStringLiteral("加藤"), "03", QStringLiteral("a\nb"));
    PressEnterOn(&Box<QPushButton>(dlg, IDC_ENTRY_ADD));
    QVERIFY(!ok.isDefault());
    QCOMPARE(BookNames(run.Doc()), QStringList({"abe", "kato", "sato", "tanaka"}));
    QCOMPARE(run.Doc().m_pData->m_list[1].m_strMemo, "a\r\nb");
    QVERIFY(dlg->isVisible());
    PressEnterOn(&Box<QPushButton>(dlg, IDC_ENTRY_CLEAR));
    QVERIFY(Box(dlg, IDC_ENTRY_ROMAJI).text().isEmpty());
    QVERIFY(dlg->isVisible());
    // Back in a box, OK is the default again; Enter on it closes the dialog.
    Box(dlg, IDC_ENTRY_PHONE).setFocus(Qt::TabFocusReason);
    QVERIFY(ok.isDefault() && !Box<QPushButton>(dlg, IDC_ENTRY_CLEAR).isDefault());
    PressEnterOn(&ok);
    QVERIFY(!run.View().m_pEntryDlg);
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size() + 1);

    // The modify dialog: Enter on Cancel changes nothing, on OK it changes the entry.
    run.ShowAll();
    run.ModifyMode(true);
    for (const int nId : {IDCANCEL, IDOK}) {
        ClickRow(run.List(), 0);
        WhenModal("CDataModifyDlg", [nId](QWidget* w) {
            Box(w, IDC_MODIFY_KANJI).setText(QStringLiteral("安部"));
            PressEnterOn(GetDlgItem(w, nId));
        });
        DoubleClickRow(run.List(), 0);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(run.Doc().m_pData->m_list[0].m_strKanji == UnicodeToCp932(QStringLiteral("安部")).bytes, nId == IDOK);
    }
}

void EntryDialogsTest::undoAndRedoOfEntryChanges() {
    TempWorkDir dir;
    // A record between two equal ones must come back between them.
    const PhoneRecord twin = Rec("mori", QStringLiteral("森"), "1");
    App run(dir, {Rec("abe"), twin, Rec("mori", QStringLiteral("森"), "2"), twin, Rec("ono")});
    const QByteArray original = ReadFile(dir.Path(kDefaultBook));
    auto& box = *run.View().GetDlgItem<QLineEdit>(IDC_SEARCH);
    QTest::keyClicks(&box, "mo");
    run.ModifyMode(true);
    run.Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&run.Frame()));
    CListCtrl& list = run.List();
    ClickRow(list, 1);
    QTest::keyClick(&list, Qt::Key_Delete);
    QCOMPARE(Column(list, 2), QStringList({"1", "1"}));
    // In the list, Ctrl+Z undoes the delete, and the search lists the entry again.
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Column(list, 2), QStringList({"1", "2", "1"}));
    QVERIFY(!run.Doc().IsModified());
    QTest::keyClick(&list, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(Column(list, 2), QStringList({"1", "1"}));
    QVERIFY(run.Doc().IsModified());
    QTest::keyClick(&list, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(Column(list, 2), QStringList({"1", "2", "1"}));
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Column(list, 2), QStringList({"1", "1"}));
    // A list made by show-all is made again by show-all.
    run.ShowAll();
    list.setFocus();
    ClickRow(list, 0);
    QTest::keyClick(&list, Qt::Key_Delete);
    QTest::keyClick(&list, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Column(list), QStringList({"abe", "mori", "mori", "ono"}));
    // In the search box the keys are the box's own: its typing is undone, no entry.
    box.setFocus();
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(box.text() != QStringLiteral("mo"));
    QTest::keyClick(&box, Qt::Key_Backspace, Qt::AltModifier);
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(4));
    // An entry added in the dialog is undone from the menu, then saved: the file as it was
    // before the delete, which undone too gives the very bytes of the start.
    CDataEntryDlg* dlg = run.OpenEntry();
    TypeEntry(*dlg, "kato");
    ClickAdd(*dlg);
    dlg->close();
    list.setFocus();
    QVERIFY(TriggerItem(run.Frame(), ID_EDIT_UNDO)->isEnabled());
    QVERIFY(TriggerItem(run.Frame(), ID_EDIT_UNDO)->isEnabled());
    QVERIFY(!run.Doc().IsModified());
    QVERIFY(TriggerItem(run.Frame(), ID_EDIT_REDO)->isEnabled());
    QVERIFY(run.Doc().DoFileSave());
    QVERIFY(TriggerItem(run.Frame(), ID_EDIT_UNDO)->isEnabled());
    QVERIFY(run.Doc().DoFileSave());
    QCOMPARE(ReadFile(dir.Path(kDefaultBook)), original);
    // Another phone book has no steps of its own yet.
    TriggerItem(run.Frame(), ID_FILE_NEW);
    list.setFocus();
    QVERIFY(!TriggerItem(run.Frame(), ID_EDIT_UNDO)->isEnabled());
    QVERIFY(!TriggerItem(run.Frame(), ID_EDIT_REDO)->isEnabled());
}

#include "EntryDialogsTest.moc"

std::unique_ptr<QObject> MakeEntryDialogsTest() {
    return std::make_unique<EntryDialogsTest>();
}
