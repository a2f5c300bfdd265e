// The full-text search through the menu and its dialog, as a user runs it.

#include "UiTestUtil.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "platform/Cp932.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "view/EntryActions.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <algorithm>

namespace {

std::string Sjis(const QString& text) {
    return UnicodeToCp932(text).bytes;
}

// In romaji order. "亜あ" is 88 9F 82 A0: its middle bytes 9F 82 are "氓".
const std::vector<PhoneRecord> kBook = {
    Rec("Tanaka", QStringLiteral("田中"), "045-111", Sjis(QStringLiteral("大阪 支店")).c_str()),
    Rec("abe", QStringLiteral("阿部"), "03-090-1111", Sjis(QStringLiteral("友人")).c_str()),
    Rec("tanaka", QStringLiteral("田中"), "090-1234", Sjis(QStringLiteral("会社")).c_str()),
    Rec("ueda", QStringLiteral("亜あ"), "06", "yamada tanaka"),
};

/// Types `text` into a box: ASCII with the keys, other text as an input method commits it.
void Type(QLineEdit& box, const QString& text) {
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        QTest::keyClicks(&box, text);
    else
        box.insert(text);
}

QLineEdit& Box(QWidget* dlg, int nId) {
    auto* box = GetDlgItem<QLineEdit>(dlg, nId);
    if (!box)
        throw std::runtime_error("no such box");
    return *box;
}

struct App : RunningApp {
    explicit App(const TempWorkDir& dir, const std::vector<PhoneRecord>& book = kBook) {
        WriteBook(dir.Path(QStringLiteral("電話帳")), book);
        if (!Start())
            throw std::runtime_error("the program did not start");
    }
    CListCtrl& List() { return View().m_listCtrl; }
    void OpenEntry() {
        QAction* item = Frame().FindMenuItem(ID_DATA_ENTRY);
        emit static_cast<QMenu*>(item->parent())->aboutToShow();
        item->trigger();
    }
    void ShowAll() { QTest::mouseClick(View().GetDlgItem<QPushButton>(IDC_SHOWALL), Qt::LeftButton); }
    /// "全文検索" from the menu, `answer` working the dialog; false when no dialog came.
    bool Search(std::function<void(QWidget*)> answer) {
        bool bShown = false;
        WhenModal("CSearchDlg", [&bShown, answer = std::move(answer)](QWidget* w) {
            bShown = true;
            answer(w);
        });
        QAction* item = Frame().FindMenuItem(ID_FULL_TEXT_SEARCH);
        emit static_cast<QMenu*>(item->parent())->aboutToShow();
        item->trigger();
        return bShown;
    }
    /// Types the keys into their boxes and presses OK.
    bool Search(const QString& key1, const QString& key2 = {}, const QString& key3 = {}) {
        return Search([&](QWidget* w) {
            for (auto [id, key] : {std::pair{IDC_SEARCH_KEY1, key1}, {IDC_SEARCH_KEY2, key2}, {IDC_SEARCH_KEY3, key3}})
                Type(Box(w, id), key);
            QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
        });
    }
};

} // namespace

class SearchDialogTest : public QObject {
    Q_OBJECT

private slots:
    void dialogOpensEmptyOnOk();
    void nothingSearchedLeavesTheListEmpty_data();
    void nothingSearchedLeavesTheListEmpty();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void keysAndFields_data();
    void keysAndFields();
    void everyHitLastFirst();
    void changesNothingButTheList();
};

void SearchDialogTest::dialogOpensEmptyOnOk() {
    TempWorkDir dir;
    App run(dir);
    QVERIFY(run.Search(QStringLiteral("tanaka"), QStringLiteral("x"), QStringLiteral("y")));
    QStringList seen;
    QVERIFY(run.Search([&](QWidget* w) {
        seen << w->windowTitle();
        for (QLabel* label : w->findChildren<QLabel*>())
            seen << label->text() + QLatin1Char('=') + label->buddy()->objectName();
        // A fresh dialog: no key of the last run.
        for (int id : {IDC_SEARCH_KEY1, IDC_SEARCH_KEY2, IDC_SEARCH_KEY3})
            seen << Box(w, id).text();
        // The focus starts on OK; Tab runs OK, Cancel, key 1, key 3, key 2 and round again.
        QTRY_COMPARE(QApplication::focusWidget(), GetDlgItem(w, IDOK));
        QStringList order;
        for (int i = 0; i < 6; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        seen << order.join(QLatin1Char(' '));
        QTest::mouseClick(GetDlgItem(w, IDCANCEL), Qt::LeftButton);
    }));
    QCOMPARE(seen,
             QStringList({QStringLiteral("全文検索"), QStringLiteral("第１キー=1030"), QStringLiteral("第２キー=1031"),
                          QStringLiteral("第３キー=1032"), "", "", "", "1 2 1030 1032 1031 1"}));
}

void SearchDialogTest::nothingSearchedLeavesTheListEmpty_data() {
    QTest::addColumn<QString>("close");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
    QTest::newRow("OK with three empty keys") << "ok";
}

void SearchDialogTest::nothingSearchedLeavesTheListEmpty() {
    QFETCH(QString, close);
    TempWorkDir dir;
    App run(dir);
    run.ShowAll();
    QCOMPARE(run.List().GetItemCount(), 4);
    QVERIFY(run.Search([&](QWidget* w) {
        // Keys typed before Cancel are not searched either.
        if (close != "ok")
            Type(Box(w, IDC_SEARCH_KEY1), QStringLiteral("tanaka"));
        if (close == "cancel")
            QTest::mouseClick(GetDlgItem(w, IDCANCEL), Qt::LeftButton);
        else if (close == "escape")
            QTest::keyClick(w, Qt::Key_Escape);
        else if (close == "close")
            w->close();
        else
            QTest::mouseClick(GetDlgItem(w, IDOK), Qt::LeftButton);
    }));
    QCOMPARE(run.List().GetItemCount(), 0);
}

void SearchDialogTest::enterPressesTheFocusedButton_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("searched");
    QTest::newRow("OK") << int(IDOK) << true;
    QTest::newRow("Cancel") << int(IDCANCEL) << false;
    QTest::newRow("key box: the default button") << int(IDC_SEARCH_KEY2) << true;
}

void SearchDialogTest::enterPressesTheFocusedButton() {
    QFETCH(int, control);
    QFETCH(bool, searched);
    TempWorkDir dir;
    App run(dir);
    bool bClosed = false;
    QVERIFY(run.Search([&](QWidget* w) {
        Type(Box(w, IDC_SEARCH_KEY1), QStringLiteral("tanaka"));
        PressEnterOn(GetDlgItem(w, control));
        bClosed = !w->isVisible();
    }));
    QVERIFY(bClosed);
    QCOMPARE(run.List().GetItemCount(), searched ? 3 : 0);
}

void SearchDialogTest::keysAndFields_data() {
    QTest::addColumn<QString>("key1");
    QTest::addColumn<QString>("key2");
    QTest::addColumn<QString>("key3");
    QTest::addColumn<QStringList>("names");
    const QStringList tanakas = {"ueda", "tanaka", "Tanaka"};
    QTest::newRow("letters of either case") << "TANAKA" << QString() << QString() << tanakas;
    QTest::newRow("second box alone") << QString() << "TANAKA" << QString() << tanakas;
    QTest::newRow("third box alone") << QString() << QString() << "TANAKA" << tanakas;
    QTest::newRow("a leading space is part of the key") << " tanaka" << QString() << QString() << QStringList{"ueda"};
    QTest::newRow("keys in the kanji name and the memo")
        << QStringLiteral("田中") << QString() << QStringLiteral("大阪") << QStringList{"Tanaka"};
    QTest::newRow("keys only in different records") << QStringLiteral("会社") << "06" << QString() << QStringList{};
    QTest::newRow("bytes across two double-byte characters")
        << QStringLiteral("氓") << QString() << QString() << QStringList{};
}

void SearchDialogTest::keysAndFields() {
    QFETCH(QString, key1);
    QFETCH(QString, key2);
    QFETCH(QString, key3);
    QFETCH(QStringList, names);
    TempWorkDir dir;
    App run(dir);
    QVERIFY(run.Search(key1, key2, key3));
    QCOMPARE(Column(run.List()), names);
}

void SearchDialogTest::everyHitLastFirst() {
    TempWorkDir dir;
    std::vector<PhoneRecord> book;
    for (int i = 1; i <= 20; ++i) {
        const std::string name = QStringLiteral("ito%1").arg(i, 2, 10, QLatin1Char('0')).toStdString();
        book.push_back(Rec(name.c_str(), QStringLiteral("伊藤"), ("03-" + name).c_str(), "memo\r\nline 2"));
    }
    book.push_back(Rec("ueda"));
    WriteFile(dir.Path("profile"), "5\r\n");
    App run(dir, book);
    // The name search stops at the hit limit; the full-text search lists every hit.
    QTest::keyClicks(run.View().GetDlgItem<QLineEdit>(IDC_SEARCH), "ito");
    QCOMPARE(run.List().GetItemCount(), 5);
    QVERIFY(run.Search(QStringLiteral("伊藤")));
    QCOMPARE(run.List().GetItemCount(), 20);
    for (int row = 0; row < 20; ++row)
        QCOMPARE(ReadRow(run.List(), row), book[static_cast<std::size_t>(19 - row)]);
}

void SearchDialogTest::changesNothingButTheList() {
    TempWorkDir dir;
    WriteFile(dir.Path("profile"), "2\r\n");
    App run(dir);
    auto* searchBox = run.View().GetDlgItem<QLineEdit>(IDC_SEARCH);
    QTest::keyClicks(searchBox, "ab");
    // Hits listed while the data-entry dialog is open are not new entries.
    run.OpenEntry();
    QVERIFY(run.View().m_pEntryDlg);
    QVERIFY(run.Search(QStringLiteral("tanaka")));
    QCOMPARE(run.List().GetItemCount(), 3);
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QVERIFY(!run.Doc().IsModified());
    QCOMPARE(searchBox->text(), QStringLiteral("ab"));
    QCOMPARE(run.Doc().m_nMaxHits, 2);
}

#include "SearchDialogTest.moc"

std::unique_ptr<QObject> MakeSearchDialogTest() {
    return std::make_unique<SearchDialogTest>();
}
