// The window program driven through its real widgets: start-up, the search
// box, the buttons, the file commands, the menu, the keys and printing.

#include "UiTestUtil.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "platform/Cp932.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/FrameWnd.h"
#include "res/Dialogs.h"
#include "res/Menus.h"
#include "res/Resource.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSet>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

const std::vector<PhoneRecord> kBook = {
    Rec("abe", QStringLiteral("阿部"), "03-1111-0001"),
    Rec("tanaka", QStringLiteral("田中"), "03-1111-0002", "memo\r\nline 2"),
    Rec("tani", QStringLiteral("谷"), "03-1111-0003"),
    Rec("tanimoto", QStringLiteral("谷本"), "03-1111-0004"),
    Rec("tao", QStringLiteral("陶"), "03-1111-0005"),
    Rec("yamada", QStringLiteral("山田"), "03-1111-0006"),
};

const QString kDefaultBook = QStringLiteral("電話帳");

QLineEdit& SearchBox(const RunningApp& run) {
    return *run.View().GetDlgItem<QLineEdit>(IDC_SEARCH);
}

QStringList Names(const RunningApp& run) {
    return Column(run.View().m_listCtrl, 0);
}

QStringList BookNames(const CMarloDoc& doc) {
    QStringList out;
    for (const PhoneRecordView record : doc.m_pData->m_list)
        out << QString::fromStdString(std::string(record.m_strRomaji));
    return out;
}

/// The greyed entry the File menu shows while the recent-file list is empty.
QAction* RecentPlaceholder(const CFrameWnd& frame) {
    for (QAction* item : frame.menuBar()->actions().first()->menu()->actions())
        if (item->text() == QStringLiteral("最近使ったﾌｧｲﾙ"))
            return item;
    return nullptr;
}

/// A key pressed in the main window, as the user would after the last dialog closed.
void PressKey(RunningApp& run, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    run.Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&run.Frame()));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &run.Frame(), key, modifiers);
}

QSettings Profile() {
    return QSettings(QStringLiteral("Marlo"), QStringLiteral("Marlo"));
}

/// Where versions before the settings moved under the program's own name kept them.
QSettings OldProfile() {
    return QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Marlo"));
}

/// Where the template puts control `nId` on the form.
QRect TemplatePlace(int nId) {
    const DialogUnits du(DialogFont());
    for (const ControlTemplate& c : MarloFormTemplate().controls)
        if (c.nId == nId)
            return du.Rect(c.x, c.y, c.cx, c.cy);
    return {};
}

} // namespace

class MarloAppTest : public QObject {
    Q_OBJECT

private slots:
    void startsUp_data();
    void startsUp();
    void typing_data();
    void typing();
    void typingRebuildsAtEveryKeystroke();
    void typingCharactersTheCodePageCannotHold();
    void showAllAndClear();
    void newEntryFiledThroughTheList();
    void fileNewSavePrompt_data();
    void fileNewSavePrompt();
    void openTextAndArchive();
    void failedOpenBringsBackTheDefaultBook();
    void saveAsTextKeepsDocumentModified();
    void recentFileList();
    void commandLineFile();
    void commandLineFileThatFails();
    void damagedDefaultBookBoxStandsMidScreen();
    void dropOpensFile();
    void formFitsTheFrame();
    void columnWidthsSurviveARestart();
    void toolkitDialogsSpeakJapanese();
    void settingsOfEarlierVersionsCarriedOver();
    void menuAndAcceleratorTables();
    void acceleratorsAndRouting();
    void editKeysWorkInTheSearchBox();
    void printsTheRows();
    void aboutBox();
    void fixedSizeDialogsAskForNoMinimiseOrMaximise();
    void exitAsksToSave();
    void damagedDefaultBookIsNotReplacedUnasked();
    void aBookChangedOnDiskIsNotOverwrittenUnasked();
    void importAndExportContacts();
};

void MarloAppTest::startsUp_data() {
    QTest::addColumn<bool>("book");
    QTest::addColumn<bool>("profile");
    QTest::newRow("neither file") << false << false;
    QTest::newRow("phone book only") << true << false;
    QTest::newRow("profile only") << false << true;
    QTest::newRow("both") << true << true;
}

void MarloAppTest::startsUp() {
    QFETCH(bool, book);
    QFETCH(bool, profile);
    TempWorkDir dir;
    if (book)
        WriteBook(dir.Path(kDefaultBook), kBook);
    if (profile)
        WriteFile(dir.Path("profile"), "2\r\n");
    RunningApp run;
    QVERIFY(run.Start());
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("Marlo"));
    QCOMPARE(run.View().m_listCtrl.GetItemCount(), 0);
    QVERIFY(SearchBox(run).text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), &SearchBox(run));
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), book ? kBook.size() : 0);
    QCOMPARE(run.Doc().m_nMaxHits, profile ? 2 : 0);
    QVERIFY(!run.Doc().IsModified());
    QStringList headings;
    for (int i = 0; i < run.View().m_listCtrl.GetColumnCount(); ++i)
        headings << run.View().m_listCtrl.GetColumnHeading(i);
    QCOMPARE(headings, QStringList({"name", "氏名", "電話番号", "メモ"}));
    // File New at start-up enters the default phone book in the recent-file list.
    QCOMPARE(run.app->GetRecentFiles(), QStringList{dir.Path(kDefaultBook)});
    QVERIFY(!QApplication::activeModalWidget());
}

void MarloAppTest::typing_data() {
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QStringList>("rows");
    const QString none;
    QTest::newRow("t") << none << "t" << QStringList{"tanaka", "tani", "tanimoto", "tao"};
    QTest::newRow("t, limit 2") << "2"
                                << "t" << QStringList{"tanaka", "tani"};
    QTest::newRow("tan") << none << "tan" << QStringList{"tanaka", "tani", "tanimoto"};
    QTest::newRow("tani") << none << "tani" << QStringList{"tani", "tanimoto"};
    QTest::newRow("tanb: tie goes after the key") << none << "tanb" << QStringList{"tani", "tanimoto"};
    QTest::newRow("tanz") << none << "tanz" << QStringList{"tanimoto"};
    QTest::newRow("abz") << none << "abz" << QStringList{"abe"};
    QTest::newRow("yamadax") << none << "yamadax" << QStringList{"yamada"};
    QTest::newRow("tap: last record judged alone") << none << "tap" << QStringList{};
    QTest::newRow("x") << none << "x" << QStringList{};
    QTest::newRow("Tan") << none << "Tan" << QStringList{};
    QTest::newRow("limit 1") << "1"
                             << "ta" << QStringList{"tanaka"};
    QTest::newRow("no limit below 0") << "-3"
                                      << "ta" << QStringList{"tanaka", "tani", "tanimoto", "tao"};
}

void MarloAppTest::typing() {
    QFETCH(QString, profile);
    QFETCH(QString, key);
    QFETCH(QStringList, rows);
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    if (!profile.isEmpty())
        WriteFile(dir.Path("profile"), profile.toLatin1());
    RunningApp run;
    QVERIFY(run.Start());
    QTest::keyClicks(&SearchBox(run), key);
    QCOMPARE(Names(run), rows);
    QCOMPARE(QApplication::focusWidget(), &SearchBox(run));
    QCOMPARE(run.View().m_listCtrl.GetSelectionMark(), -1);
    // Rows written by the search never enter the phone book.
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QVERIFY(!run.Doc().IsModified());
}

void MarloAppTest::typingRebuildsAtEveryKeystroke() {
    TempWorkDir dir;
    std::vector<PhoneRecord> book = kBook;
    book.push_back(Rec("zz"));
    WriteBook(dir.Path(kDefaultBook), book);
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = SearchBox(run);
    QTest::keyClicks(&box, "t");
    QCOMPARE(Names(run).size(), 4);
    QTest::keyClicks(&box, "ap");
    QCOMPARE(Names(run), QStringList{"tao"}); // with zz after yamada, tap lists tao
    // Deleting back to an empty box leaves the rows of the key "t".
    QTest::keyClick(&box, Qt::Key_Backspace);
    QCOMPARE(Names(run), QStringList({"tanaka", "tani", "tanimoto", "tao"}));
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QVERIFY(box.text().isEmpty());
    QCOMPARE(Names(run), QStringList({"tanaka", "tani", "tanimoto", "tao"}));
    // Pasted text searches too.
    QApplication::clipboard()->setText(QStringLiteral("yam"));
    box.paste();
    QCOMPARE(Names(run), QStringList{"yamada"});
    // Only the first 100 bytes of the box make the key: with all 150, neither name would begin with it.
    const std::string stem = "k" + std::string(99, 'x');
    WriteBook(dir.Path("long"), {Rec((stem + "a").c_str()), Rec((stem + "b").c_str())});
    QVERIFY(run.app->OpenDocumentFile(dir.Path("long")) == CDocument::OpenResult::Opened);
    QTest::keyClicks(&box, QString::fromStdString(stem) + QString(50, QLatin1Char('b')));
    QCOMPARE(box.text().size(), 150);
    QCOMPARE(Names(run), QStringList({QString::fromStdString(stem + "a"), QString::fromStdString(stem + "b")}));
    box.setText(QStringLiteral("yam"));
    QVERIFY(run.app->OpenDocumentFile(dir.Path(kDefaultBook)) == CDocument::OpenResult::Opened);
    QTest::keyClicks(&box, QStringLiteral("yam"));
    // The rows carry all four texts.
    QCOMPARE(Cp932ToUnicode(run.View().m_listCtrl.GetItemText(0, 1)), QStringLiteral("山田"));
    QCOMPARE(run.View().m_listCtrl.GetItemText(0, 2), std::string("03-1111-0006"));
}

void MarloAppTest::typingCharactersTheCodePageCannotHold() {
    TempWorkDir dir;
    std::vector<PhoneRecord> book = kBook;
    book.push_back(Rec("\x93\x63\x92\x86")); // 田中 in code page 932
    WriteBook(dir.Path(kDefaultBook), book);
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = SearchBox(run);
    // The key ends before the first character the code page cannot hold.
    box.insert(QStringLiteral("tani\U0001F600x"));
    QCOMPARE(Names(run), QStringList({"tani", "tanimoto"}));
    box.setText(QStringLiteral("\U0001F600"));
    QCOMPARE(Names(run), QStringList{});
    box.setText(QStringLiteral("田"));
    QCOMPARE(Names(run), QStringList{QStringLiteral("田中")});
    QVERIFY(!QApplication::activeModalWidget());
}

void MarloAppTest::showAllAndClear() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    WriteFile(dir.Path("profile"), "2");
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = SearchBox(run);
    QTest::keyClicks(&box, "ta");
    auto* showAll = run.View().GetDlgItem<QPushButton>(IDC_SHOWALL);
    auto* clear = run.View().GetDlgItem<QPushButton>(IDC_CLEAR);
    QCOMPARE(showAll->text(), QStringLiteral("全データ表示"));
    QCOMPARE(clear->text(), QStringLiteral("クリアー"));
    QTest::mouseClick(showAll, Qt::LeftButton);
    // Every record, in phone-book order, whatever the hit limit; the box keeps its text.
    QCOMPARE(Names(run), QStringList({"abe", "tanaka", "tani", "tanimoto", "tao", "yamada"}));
    QCOMPARE(box.text(), QStringLiteral("ta"));
    QCOMPARE(Cp932ToUnicode(run.View().m_listCtrl.GetItemText(1, 3)), QStringLiteral("memo\r\nline 2"));
    QTest::mouseClick(clear, Qt::LeftButton);
    QCOMPARE(run.View().m_listCtrl.GetItemCount(), 0);
    QVERIFY(box.text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), &box);
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    // Show-all of an empty phone book leaves the list empty.
    WriteBook(dir.Path("empty"), {});
    QVERIFY(run.app->OpenDocumentFile(dir.Path("empty")) == CDocument::OpenResult::Opened);
    QTest::mouseClick(showAll, Qt::LeftButton);
    QCOMPARE(run.View().m_listCtrl.GetItemCount(), 0);
}

void MarloAppTest::newEntryFiledThroughTheList() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    CMarloView& view = run.View();
    QTest::keyClicks(&SearchBox(run), "s"); // a search of the empty book first
    QCOMPARE(view.m_listCtrl.GetItemCount(), 0);
    for (const char* name : {"sato", "abe", "suzuki"})
        run.Doc().AddEntry(Rec(name));
    QVERIFY(run.Doc().IsModified());
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("Marlo")); // changes leave the caption alone
    // The searches see the changes at once, without packing the book again.
    QVERIFY(view.RowsFollowBook());
    QTest::mouseClick(view.GetDlgItem<QPushButton>(IDC_SHOWALL), Qt::LeftButton);
    QCOMPARE(Names(run), QStringList({"abe", "sato", "suzuki"}));
    // Rows written without the data-entry dialog are never filed.
    view.m_listCtrl.InsertItem(0, "ghost");
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(3));
    // A second initial update keeps the columns and the rows and empties the box.
    QTest::mouseClick(view.GetDlgItem<QPushButton>(IDC_CLEAR), Qt::LeftButton);
    QTest::keyClicks(&SearchBox(run), "s");
    QCOMPARE(Names(run), QStringList({"sato", "suzuki"}));
    QCOMPARE(view.m_strSearch, std::string("s"));
    const int rows = view.m_listCtrl.GetItemCount();
    view.OnInitialUpdate();
    QCOMPARE(view.m_listCtrl.GetColumnCount(), 4);
    QCOMPARE(view.m_listCtrl.GetItemCount(), rows);
    QVERIFY(SearchBox(run).text().isEmpty());
    QVERIFY(view.m_strSearch.empty());
}

void MarloAppTest::fileNewSavePrompt_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("yes") << int(QMessageBox::Yes);
    QTest::newRow("no") << int(QMessageBox::No);
    QTest::newRow("cancel") << int(QMessageBox::Cancel);
}

void MarloAppTest::fileNewSavePrompt() {
    QFETCH(int, answer);
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    RunningApp run;
    QVERIFY(run.Start());
    run.Doc().AddEntry(Rec("nakamura"));
    QTest::keyClicks(&SearchBox(run), "ta");
    QString prompt;
    AnswerMessageBox(answer, &prompt);
    PressKey(run, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(prompt, QStringLiteral("電話帳 への変更を保存しますか?"));
    if (answer == QMessageBox::Cancel) {
        QVERIFY(run.Doc().IsModified());
        QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size() + 1);
        QCOMPARE(SearchBox(run).text(), QStringLiteral("ta"));
        QCOMPARE(run.Frame().windowTitle(), QStringLiteral("Marlo"));
        return;
    }
    // The default phone book is loaded again, with the new entry only when it was saved.
    QVERIFY(!run.Doc().IsModified());
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size() + (answer == QMessageBox::Yes ? 1 : 0));
    QVERIFY(SearchBox(run).text().isEmpty());
    QCOMPARE(Names(run).size(), 4); // the rows of "ta" stay until the next search
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("電話帳 - Marlo"));
}

void MarloAppTest::openTextAndArchive() {
    TempWorkDir dir;
    WriteBook(dir.Path("book.txt"), {Rec("ueda", QStringLiteral("上田"), "06"), Rec("ito")});
    WriteBook(dir.Path("other"), {Rec("kato")});
    RunningApp run;
    QVERIFY(run.Start());
    QTest::keyClicks(&SearchBox(run), "x");
    AnswerFileDialog(dir.Path("book.txt"));
    PressKey(run, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(BookNames(run.Doc()), QStringList({"ito", "ueda"}));
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("book.txt - Marlo"));
    QVERIFY(SearchBox(run).text().isEmpty());
    QTest::keyClicks(&SearchBox(run), "u");
    QCOMPARE(Cp932ToUnicode(run.View().m_listCtrl.GetItemText(0, 1)), QStringLiteral("上田"));

    AnswerFileDialog(dir.Path("other"));
    Trigger(run.Frame(), ID_FILE_OPEN);
    QCOMPARE(BookNames(run.Doc()), QStringList{"kato"});
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("other - Marlo"));
    // Cancelling the file dialog changes nothing.
    AnswerFileDialog(QString());
    Trigger(run.Frame(), ID_FILE_OPEN);
    QCOMPARE(BookNames(run.Doc()), QStringList{"kato"});
}

void MarloAppTest::failedOpenBringsBackTheDefaultBook() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    WriteFile(dir.Path("broken"), QByteArray("\x01\x00\x00\x00garbage", 11));
    RunningApp run;
    QVERIFY(run.Start());
    WriteBook(dir.Path("good"), {Rec("kato")});
    QVERIFY(run.app->OpenDocumentFile(dir.Path("good")) == CDocument::OpenResult::Opened);
    QString message;
    AnswerMessageBox(QMessageBox::Ok, &message);
    AnswerFileDialog(dir.Path("broken"));
    Trigger(run.Frame(), ID_FILE_OPEN);
    QVERIFY2(message.contains(QStringLiteral("broken")), qPrintable(message));
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), kBook.size());
    QCOMPARE(QString::fromStdString(run.Doc().GetTitle()), kDefaultBook);
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("電話帳 - Marlo"));
    QVERIFY(!run.app->GetRecentFiles().contains(dir.Path("broken")));
}

void MarloAppTest::saveAsTextKeepsDocumentModified() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    RunningApp run;
    QVERIFY(run.Start());
    run.Doc().AddEntry(Rec("ota", QStringLiteral("太田"), "099"));
    AnswerFileDialog(dir.Path("out.txt"));
    Trigger(run.Frame(), ID_FILE_SAVE_AS);
    const QByteArray text = ReadFile(dir.Path("out.txt"));
    QVERIFY2(text.startsWith("abe,"), text.constData());
    QVERIFY(text.contains("ota,"));
    QVERIFY(run.Doc().IsModified());
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("out.txt - Marlo"));
    run.Doc().AddEntry(Rec("oka"));
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("out.txt - Marlo"));
    QCOMPARE(run.app->GetRecentFiles().value(0), dir.Path("out.txt"));
    // Save writes text again, to the same file: changed by someone else since, after the question.
    WriteFile(dir.Path("out.txt"), "old");
    AnswerMessageBox(QMessageBox::Yes);
    PressKey(run, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(ReadFile(dir.Path("out.txt")).startsWith("abe,"));
    QVERIFY(!QApplication::activeModalWidget());
}

void MarloAppTest::recentFileList() {
    TempWorkDir dir;
    for (const char* name : {"b1", "b2", "b3", "b4"})
        WriteBook(dir.Path(name), {Rec(name)});
    {
        RunningApp run;
        QVERIFY(run.Start());
        for (const char* name : {"b1", "b2", "b3", "b4"})
            QVERIFY(run.app->OpenDocumentFile(dir.Path(name)) == CDocument::OpenResult::Opened);
        QCOMPARE(run.app->GetRecentFiles(),
                 QStringList({dir.Path("b4"), dir.Path("b3"), dir.Path("b2"), dir.Path("b1")}));
        // The File menu shows them in place of the greyed placeholder.
        QVERIFY(!RecentPlaceholder(run.Frame())->isVisible());
        QCOMPARE(run.Frame().FindMenuItem(ID_FILE_MRU_FILE1 + 3)->text(), QStringLiteral("&4 b1"));
        // File New enters the default phone book at the top; the oldest goes.
        PressKey(run, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(run.app->GetRecentFiles(),
                 QStringList({dir.Path(kDefaultBook), dir.Path("b4"), dir.Path("b3"), dir.Path("b2")}));
        // Opening a listed file moves it to the top.
        Trigger(run.Frame(), ID_FILE_MRU_FILE1 + 2);
        QCOMPARE(BookNames(run.Doc()), QStringList{"b3"});
        QCOMPARE(run.app->GetRecentFiles().value(0), dir.Path("b3"));
        QCOMPARE(run.app->GetRecentFiles().size(), 4);
        // A listed file that is gone leaves the list after its error.
        QFile::remove(dir.Path("b2"));
        AnswerMessageBox(QMessageBox::Ok);
        Trigger(run.Frame(), ID_FILE_MRU_FILE1 + 3);
        QVERIFY(!run.app->GetRecentFiles().contains(dir.Path("b2")));
    }
    // The list is kept in the profile store for the next start.
    QCOMPARE(Profile().value("Recent File List/File1").toString(), dir.Path(kDefaultBook));
    RunningApp again;
    QVERIFY(again.Start());
    QCOMPARE(again.app->GetRecentFiles().value(1), dir.Path("b3"));
}

void MarloAppTest::commandLineFile() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    WriteFile(dir.Path("profile"), "2");
    WriteBook(dir.Path("given"), kBook);
    RunningApp run({dir.Path("given")});
    QVERIFY(run.Start());
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("Marlo"));
    QCOMPARE(run.Doc().GetPathName(), QFile::encodeName(dir.Path("given")).toStdString());
    QCOMPARE(run.Doc().m_nMaxHits, 0);
    QTest::keyClicks(&SearchBox(run), "t");
    QCOMPARE(Names(run).size(), 4);
    // The next File New reads the settings file.
    PressKey(run, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(run.Doc().m_nMaxHits, 2);
}

void MarloAppTest::commandLineFileThatFails() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    WriteBook(dir.Path("older"), kBook);
    const QStringList recent = {dir.Path("older"), dir.Path(kDefaultBook)};
    Profile().setValue("Recent File List/File1", recent[0]);
    Profile().setValue("Recent File List/File2", recent[1]);
    RunningApp run({dir.Path("missing")});
    QString message;
    AnswerMessageBox(QMessageBox::Ok, &message);
    QVERIFY(!run.app->InitInstance());
    QVERIFY2(message.contains(QStringLiteral("missing")), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("ファイルまたはフォルダーがありません")), qPrintable(message));
    QCOMPARE(run.app->ExitCode(), 1);
    // The program ends as it found the list: the default phone book never took the file's place.
    QCOMPARE(run.app->GetRecentFiles(), recent);
    QCOMPARE(Profile().value("Recent File List/File1").toString(), recent[0]);
    QCOMPARE(Profile().value("Recent File List/File2").toString(), recent[1]);

    RunningApp two({"a", "b"});
    QVERIFY(!two.app->InitInstance());
    QCOMPARE(two.app->ExitCode(), 2);
    RunningApp help({"--help"});
    QVERIFY(!help.app->InitInstance());
    QCOMPARE(help.app->ExitCode(), 0);
}

void MarloAppTest::damagedDefaultBookBoxStandsMidScreen() {
    TempWorkDir dir;
    WriteFile(dir.Path(kDefaultBook), QByteArray("\xFF\xFF\x01\x00\x08\x00CMrlData\x05\x00\x00\x00", 18));
    QString message;
    QPoint boxCentre;
    WhenModal("QMessageBox", [&](QWidget* box) {
        message = static_cast<QMessageBox*>(box)->text();
        boxCentre = box->frameGeometry().center();
        static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    RunningApp run;
    QVERIFY(run.Start());
    QVERIFY2(message.contains(kDefaultBook), qPrintable(message));
    // Not at the corner of the window that was not on the screen yet; the toolkit
    // leaves room for a title bar it can only guess.
    const QPoint screenCentre = QApplication::primaryScreen()->availableGeometry().center();
    QVERIFY2((boxCentre - screenCentre).manhattanLength() < 60,
             qPrintable(QStringLiteral("box at %1,%2").arg(boxCentre.x()).arg(boxCentre.y())));
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(0));
}

void MarloAppTest::dropOpensFile() {
    TempWorkDir dir;
    WriteBook(dir.Path("dropped.txt"), {Rec("mori")});
    WriteBook(dir.Path("moved"), {Rec("kato")});
    RunningApp run;
    QVERIFY(run.Start());
    // With Shift the source proposes a move; the file is opened where it lies, so the drop is a copy.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(dir.Path("dropped.txt"))});
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(enter.proposedAction(), Qt::MoveAction);
    QApplication::sendEvent(&run.Frame(), &enter);
    QVERIFY(enter.isAccepted());
    QCOMPARE(enter.dropAction(), Qt::CopyAction);
    QDragMoveEvent over(QPoint(12, 12), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&run.Frame(), &over);
    QVERIFY(over.isAccepted());
    QCOMPARE(over.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(12, 12), both, &mime, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(&run.Frame(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(drop.dropAction(), Qt::CopyAction);
    QCOMPARE(BookNames(run.Doc()), QStringList{"mori"});
    QCOMPARE(run.Frame().windowTitle(), QStringLiteral("dropped.txt - Marlo"));
    // A source that only lets its file be moved away is refused.
    QMimeData moveOnly;
    moveOnly.setUrls({QUrl::fromLocalFile(dir.Path("moved"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::MoveAction, &moveOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&run.Frame(), &refused);
    QVERIFY(!refused.isAccepted());
    QDropEvent notOpened(QPointF(10, 10), Qt::MoveAction, &moveOnly, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&run.Frame(), &notOpened);
    QCOMPARE(BookNames(run.Doc()), QStringList{"mori"});
}

void MarloAppTest::formFitsTheFrame() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    CMarloView& view = run.View();
    const QSize form = view.GetTotalSize();
    QCOMPARE(view.size(), form);
    QCOMPARE(view.GetForm()->size(), form);
    // At the form's size every control stands where the template puts it; none overlaps
    // another or leaves the form, and every text fits its control.
    const QList<QWidget*> controls = view.GetForm()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(controls.size(), 5);
    QHash<QWidget*, QRect> places;
    for (QWidget* a : controls) {
        places[a] = a->geometry();
        QVERIFY(QRect(QPoint(0, 0), form).contains(a->geometry()));
        QVERIFY2(a->width() >= a->minimumSizeHint().width(), a->metaObject()->className());
        for (QWidget* b : controls)
            QVERIFY(a == b || !a->geometry().intersects(b->geometry()));
    }
    QWidget* list = &view.m_listCtrl;
    const QRect listPlace = TemplatePlace(IDC_LIST);
    QCOMPARE(list->geometry(), listPlace);
    QCOMPARE(view.GetDlgItem(IDC_SEARCH)->geometry(), TemplatePlace(IDC_SEARCH));
    auto othersInPlace = [&] {
        for (QWidget* c : controls)
            if (c != list && c->geometry() != places[c])
                return false;
        return true;
    };
    // A larger window: the list takes the extra width and height, the rest stay, nothing scrolls.
    const QSize extra(200, 150);
    run.Frame().resize(run.Frame().size() + extra);
    QTRY_COMPARE(view.size(), form + extra);
    QTRY_COMPARE(list->geometry(), listPlace.adjusted(0, 0, extra.width(), extra.height()));
    QVERIFY(othersInPlace());
    QVERIFY(!view.horizontalScrollBar()->isVisible() && !view.verticalScrollBar()->isVisible());
    // A new phone book shrinks the window to the form again, every control at its template place.
    PressKey(run, Qt::Key_N, Qt::ControlModifier);
    QTRY_COMPARE(view.size(), form);
    QTRY_COMPARE(list->geometry(), listPlace);
    QVERIFY(othersInPlace());
    // A smaller window scrolls over the form as the template makes it.
    run.Frame().resize(run.Frame().size() - QSize(50, 40));
    QTRY_COMPARE(view.size(), form - QSize(50, 40));
    QTRY_VERIFY(view.horizontalScrollBar()->isVisible() && view.verticalScrollBar()->isVisible());
    QCOMPARE(view.GetForm()->size(), form);
    QCOMPARE(list->geometry(), listPlace);
    // Wider but shorter: the list takes the width; the height scrolls.
    run.Frame().resize(run.Frame().size() + QSize(150, 0));
    QTRY_COMPARE(view.size(), form + QSize(100, -40));
    QTRY_VERIFY(view.verticalScrollBar()->isVisible() && !view.horizontalScrollBar()->isVisible());
    QCOMPARE(view.GetForm()->height(), form.height());
    QCOMPARE(list->geometry(), listPlace.adjusted(0, 0, view.viewport()->width() - form.width(), 0));
}

void MarloAppTest::columnWidthsSurviveARestart() {
    TempWorkDir dir;
    int designed[4] = {};
    int dragged = 0;
    {
        RunningApp run;
        QVERIFY(run.Start());
        QHeaderView& header = *run.View().m_listCtrl.header();
        for (int i = 0; i < 4; ++i)
            designed[i] = header.sectionSize(i);
        // The romaji column is the narrowest, in the designed proportion to the others.
        QVERIFY(qAbs(designed[0] - designed[1] * 40 / 100) <= 1);
        QVERIFY(qAbs(designed[3] - designed[1] * 170 / 100) <= 1);
        QCOMPARE(designed[2], designed[1]);
        // Drag the divider after the kanji column 30 pixels to the right.
        QWidget* strip = header.viewport();
        const int y = header.height() / 2;
        const int divider = header.sectionViewportPosition(1) + designed[1] - 1;
        QTest::mousePress(strip, Qt::LeftButton, Qt::NoModifier, QPoint(divider, y));
        for (int step = 10; step <= 30; step += 10)
            QTest::mouseMove(strip, QPoint(divider + step, y));
        QCOMPARE(Profile().value("Result List/Column1 Width"), QVariant()); // nothing written mid-drag
        QTest::mouseRelease(strip, Qt::LeftButton, Qt::NoModifier, QPoint(divider + 30, y));
        dragged = header.sectionSize(1);
        QCOMPARE(dragged, designed[1] + 30);
    }
    RunningApp again;
    QVERIFY(again.Start());
    const QHeaderView& header = *again.View().m_listCtrl.header();
    QCOMPARE(header.sectionSize(1), dragged);
    for (int i : {0, 2, 3})
        QCOMPARE(header.sectionSize(i), designed[i]);
    // A width no drag could give, from a profile edited by hand, is not used.
    Profile().setValue("Result List/Column1 Width", 0);
    RunningApp edited;
    QVERIFY(edited.Start());
    QCOMPARE(edited.View().m_listCtrl.header()->sectionSize(1), designed[1]);
}

void MarloAppTest::toolkitDialogsSpeakJapanese() {
    TempWorkDir dir;
    // Whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    RunningApp run;
    QVERIFY(run.Start());
    QStringList buttons;
    QStringList labels;
    WhenModal("QFileDialog", [&](QWidget* w) {
        for (QAbstractButton* b : w->findChild<QDialogButtonBox*>()->buttons())
            buttons << b->text();
        for (QLabel* label : w->findChildren<QLabel*>())
            labels << label->text();
        static_cast<QDialog*>(w)->reject();
    });
    PressKey(run, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(buttons, QStringList({QStringLiteral("開く(&O)"), QStringLiteral("キャンセル")}));
    QVERIFY2(labels.contains(QStringLiteral("ファイル名(&N):")), qPrintable(labels.join(' ')));
}

void MarloAppTest::settingsOfEarlierVersionsCarriedOver() {
    TempWorkDir dir;
    OldProfile().setValue("Recent File List/File1", dir.Path("old"));
    {
        RunningApp run;
        QVERIFY(run.Start());
        QCOMPARE(run.app->GetRecentFiles(), QStringList({dir.Path(kDefaultBook), dir.Path("old")}));
    }
    // Copied, not moved; and once the program's own settings exist, they win.
    QCOMPARE(OldProfile().value("Recent File List/File1").toString(), dir.Path("old"));
    OldProfile().setValue("Recent File List/File2", dir.Path("older"));
    RunningApp again;
    QVERIFY(again.Start());
    QCOMPARE(again.app->GetRecentFiles(), QStringList({dir.Path(kDefaultBook), dir.Path("old")}));
}

void MarloAppTest::menuAndAcceleratorTables() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    CFrameWnd& frame = run.Frame();
    QSet<int> commands;
    QList<QKeySequence> titleKeys;
    for (const MenuTemplate& popup : MainMenu()) {
        // Alt and a letter open one menu, and a letter picks one item of an open menu.
        const QKeySequence titleKey = QKeySequence::mnemonic(QString::fromUtf8(popup.pszText));
        QVERIFY2(!titleKey.isEmpty() && !titleKeys.contains(titleKey), popup.pszText);
        titleKeys << titleKey;
        QList<QKeySequence> itemKeys;
        for (const MenuItemTemplate& item : popup.items) {
            const QString text = QString::fromUtf8(item.pszText);
            if (item.nFlags & MenuFlag::Separator)
                continue;
            const QKeySequence key = QKeySequence::mnemonic(text);
            QVERIFY2(key.isEmpty() || !itemKeys.contains(key), item.pszText);
            itemKeys << key;
            QVERIFY2(!commands.contains(item.nId), item.pszText);
            commands.insert(item.nId);
            // Only the recent-file placeholder is greyed; every other item has a handler.
            if (item.nFlags & MenuFlag::Grayed) {
                QVERIFY(item.nFlags & MenuFlag::RecentFiles);
                continue;
            }
            QAction* action = frame.FindMenuItem(item.nId);
            emit static_cast<QMenu*>(action->parent())->aboutToShow();
            QVERIFY2(action->isEnabled(), item.pszText);
            // A key the caption shows is an accelerator of the same command.
            const QString shown = text.section(QLatin1Char('\t'), 1);
            if (!shown.isEmpty()) {
                const std::span<const AccelTemplate> accels = MainAccelerators();
                QVERIFY2(std::any_of(accels.begin(), accels.end(),
                                     [&](const AccelTemplate& a) {
                                         return QKeySequence(a.key) == QKeySequence(shown) && a.nId == item.nId;
                                     }),
                         item.pszText);
            }
        }
    }
    // The frame has each key of the table once: a key bound twice would run neither command.
    // Every key reaches a handler but F6 and Shift+F6, which move between panes of which
    // the window has one.
    QList<QKeySequence> tableKeys;
    for (const AccelTemplate& accel : MainAccelerators()) {
        QVERIFY2(!tableKeys.contains(QKeySequence(accel.key)), qPrintable(QKeySequence(accel.key).toString()));
        tableKeys << QKeySequence(accel.key);
        const bool bPane = accel.nId == ID_NEXT_PANE || accel.nId == ID_PREV_PANE;
        QCOMPARE(frame.QueryCommand(accel.nId).m_bEnabled, !bPane);
    }
    QList<QKeySequence> frameKeys;
    for (QAction* action : frame.actions())
        frameKeys << action->shortcut();
    QCOMPARE(frameKeys, tableKeys);
    // The placeholder is hidden while the list has files.
    QAction* placeholder = RecentPlaceholder(frame);
    QVERIFY(placeholder && !placeholder->isVisible() && !placeholder->isEnabled());
}

void MarloAppTest::acceleratorsAndRouting() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    CFrameWnd& frame = run.Frame();
    // F6 changes nothing.
    QTest::keyClicks(&SearchBox(run), "a");
    QTest::keyClick(&frame, Qt::Key_F6);
    QCOMPARE(QApplication::focusWidget(), &SearchBox(run));
    // The print commands go to the view's print dialog, the print setup to the application's.
    bool printDialogShown = false;
    WhenModal("QDialog", [&](QWidget* w) {
        printDialogShown = qobject_cast<QPrintDialog*>(w) != nullptr;
        static_cast<QDialog*>(w)->reject();
    });
    QTest::keyClick(&frame, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(printDialogShown);
    QString setupClass;
    WhenModal("QDialog", [&](QWidget* w) {
        setupClass = QString::fromLatin1(w->metaObject()->className());
        static_cast<QDialog*>(w)->reject();
    });
    QVERIFY(frame.RouteCommand(ID_FILE_PRINT_SETUP));
    QCOMPARE(setupClass, QStringLiteral("QPageSetupDialog"));
}

void MarloAppTest::editKeysWorkInTheSearchBox() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    RunningApp run;
    QVERIFY(run.Start());
    QLineEdit& box = SearchBox(run);
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    QTest::keyClicks(&box, "tani");
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("tani"));
    QTest::keyClick(&box, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(box.text().isEmpty());
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box.text(), QStringLiteral("tani"));
    QCOMPARE(Names(run), QStringList({"tani", "tanimoto"}));
    QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(box.text().isEmpty());
    // The other keys of the same commands.
    clipboard->setText(QStringLiteral("yam"));
    QTest::keyClick(&box, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(box.text(), QStringLiteral("yam"));
    QCOMPARE(Names(run), QStringList{"yamada"});
    QTest::keyClick(&box, Qt::Key_Backspace, Qt::AltModifier);
    QVERIFY(box.text().isEmpty());
    QTest::keyClicks(&box, "abe");
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("abe"));
    QTest::keyClick(&box, Qt::Key_Delete, Qt::ShiftModifier);
    QVERIFY(box.text().isEmpty());
    QCOMPARE(clipboard->text(), QStringLiteral("abe"));
}

void MarloAppTest::printsTheRows() {
    TempWorkDir dir;
    std::vector<PhoneRecord> book;
    for (int i = 0; i < 300; ++i)
        book.push_back(
            Rec(qPrintable(QStringLiteral("name%1").arg(i, 3, 10, QLatin1Char('0'))), QStringLiteral("名前"), "000"));
    WriteBook(dir.Path(kDefaultBook), book);
    RunningApp run;
    QVERIFY(run.Start());
    QPrinter& printer = run.app->GetPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    auto printPages = [&](const QString& name) {
        printer.setOutputFileName(dir.Path(name));
        WhenModal("QPrintDialog", [](QWidget* w) { static_cast<QDialog*>(w)->accept(); });
        PressKey(run, Qt::Key_P, Qt::ControlModifier);
        return ReadFile(dir.Path(name)).count("/Type /Page\n") + ReadFile(dir.Path(name)).count("/Type /Page ");
    };
    // An empty list prints one page with the headings; 300 rows need several.
    const qsizetype emptyPages = printPages("empty.pdf");
    QCOMPARE(emptyPages, qsizetype(1));
    QTest::mouseClick(run.View().GetDlgItem<QPushButton>(IDC_SHOWALL), Qt::LeftButton);
    const qsizetype fullPages = printPages("full.pdf");
    QVERIFY2(fullPages > 2, qPrintable(QString::number(fullPages)));
    QTest::keyClicks(&SearchBox(run), "name00");
    QCOMPARE(printPages("ten.pdf"), qsizetype(1));
}

void MarloAppTest::aboutBox() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    QString caption;
    QStringList texts;
    QPixmap icon;
    qreal dpr = 0;
    WhenModal("QDialog", [&](QWidget* w) {
        caption = w->windowTitle();
        for (QLabel* label : w->findChildren<QLabel*>())
            texts << label->text();
        QPushButton* ok = w->findChild<QPushButton*>(QStringLiteral("1"));
        QVERIFY(ok && ok->isDefault() && ok->text() == QStringLiteral("OK"));
        icon = w->findChildren<QLabel*>().first()->pixmap();
        dpr = w->devicePixelRatioF();
        QTest::keyClick(w, Qt::Key_Return);
    });
    Trigger(run.Frame(), ID_APP_ABOUT);
    QCOMPARE(caption, QStringLiteral("Marloのﾊﾞｰｼﾞｮﾝ情報"));
    // Drawn for the screen's pixel ratio, so sharp when scaled (ui_tests_scaled).
    QCOMPARE(icon.deviceIndependentSize(), QSizeF(32, 32));
    QCOMPARE(icon.devicePixelRatio(), dpr);
    // The window's icon in every size of the desktop's icon theme.
    const QList<QSize> themeSizes{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    QList<QSize> sizes = run.Frame().windowIcon().availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    QCOMPARE(sizes, themeSizes);
    QVERIFY(texts.contains(QStringLiteral("Marlo Version 1.0")));
    QVERIFY(!QApplication::activeModalWidget());
}

void MarloAppTest::fixedSizeDialogsAskForNoMinimiseOrMaximise() {
    for (const DialogTemplate* tpl :
         {&AboutTemplate(), &DataEntryTemplate(), &DataModifyTemplate(), &DataViewTemplate(), &RomajiWarnTemplate(),
          &OptionTemplate(), &FullTextSearchTemplate()}) {
        CDialog dialog(*tpl);
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY2(flags & Qt::CustomizeWindowHint, tpl->pszCaption);
        QVERIFY2(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)), tpl->pszCaption);
        QVERIFY2(flags & Qt::WindowCloseButtonHint, tpl->pszCaption);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    }
}

void MarloAppTest::exitAsksToSave() {
    TempWorkDir dir;
    RunningApp run;
    QVERIFY(run.Start());
    run.Doc().AddEntry(Rec("ono"));
    AnswerMessageBox(QMessageBox::Cancel);
    Trigger(run.Frame(), ID_APP_EXIT);
    QVERIFY(run.Frame().isVisible());
    // Yes with no default phone book on disk asks where to save it.
    AnswerMessageBox(QMessageBox::Yes);
    QString proposed;
    WhenModal("QFileDialog", [&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        QVERIFY(dialog);
        proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    run.Frame().close();
    QCOMPARE(proposed, kDefaultBook);
    QVERIFY(!run.Frame().isVisible());
    QVERIFY(QFile::exists(dir.Path(kDefaultBook)));
    QVERIFY(!run.Doc().IsModified());
}

void MarloAppTest::damagedDefaultBookIsNotReplacedUnasked() {
    TempWorkDir dir;
    std::vector<PhoneRecord> records;
    for (int i = 0; i < 40; ++i)
        records.push_back(Rec(qPrintable(QStringLiteral("name%1").arg(i, 2, 10, QLatin1Char('0'))),
                              QStringLiteral("氏名"), "03-0000-0000"));
    WriteBook(dir.Path(kDefaultBook), records);
    const QByteArray damaged = ReadFile(dir.Path(kDefaultBook)).left(700);
    QCOMPARE(damaged.size(), 700);
    WriteFile(dir.Path(kDefaultBook), damaged);
    AnswerMessageBox(QMessageBox::Ok); // the phone book cannot be read
    RunningApp run;
    QVERIFY(run.Start());
    QCOMPARE(run.Doc().m_pData->m_list.GetCount(), std::size_t(0));

    // Ctrl+S asks before the file is replaced; No, the default, keeps it as it is.
    QString question;
    AnswerMessageBox(QMessageBox::No, &question);
    PressKey(run, Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(question.contains(dir.Path(kDefaultBook) + QStringLiteral("」は読み込めなかったファイルです")),
             qPrintable(question));
    QVERIFY2(question.endsWith(QStringLiteral("このまま保存しますか?")), qPrintable(question));
    QCOMPARE(ReadFile(dir.Path(kDefaultBook)), damaged);
    QVERIFY(!QFile::exists(dir.Path(kDefaultBook + QStringLiteral(".読めなかった"))));

    // Yes: the damaged bytes stay beside the new phone book.
    AnswerMessageBox(QMessageBox::Yes);
    Trigger(run.Frame(), ID_FILE_SAVE);
    QCOMPARE(ReadFile(dir.Path(kDefaultBook + QStringLiteral(".読めなかった"))), damaged);
    QCOMPARE(ReadFile(dir.Path(kDefaultBook)).size(), 18);
    QVERIFY(!QApplication::activeModalWidget());
}

void MarloAppTest::aBookChangedOnDiskIsNotOverwrittenUnasked() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    RunningApp run;
    QVERIFY(run.Start());
    run.Doc().AddEntry(Rec("ono"));
    // Another program replaces the file while the window has changes of its own.
    WriteBook(dir.Path(QStringLiteral("other")), {Rec("other")});
    const QByteArray theirs = ReadFile(dir.Path(QStringLiteral("other")));
    QVERIFY(::rename(QFile::encodeName(dir.Path(QStringLiteral("other"))).constData(),
                     QFile::encodeName(dir.Path(kDefaultBook)).constData()) == 0);

    // Ctrl+S names the change and asks; Enter gives the default, キャンセル.
    QString question, byDefault;
    QStringList buttons;
    WhenModal("QMessageBox", [&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        QVERIFY(box);
        question = box->text();
        for (QAbstractButton* button : box->buttons())
            buttons << button->text();
        byDefault = box->defaultButton()->text();
        QTest::keyClick(box, Qt::Key_Return);
    });
    PressKey(run, Qt::Key_S, Qt::ControlModifier);
    QVERIFY2(question.startsWith(QStringLiteral("「") + dir.Path(kDefaultBook) +
                                 QStringLiteral("」は開いた後にほかのプログラムが変更しました (別のファイルに置き換えられています")),
             qPrintable(question));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("キャンセル"), QStringLiteral("上書き(&O)"),
                                   QStringLiteral("名前を付けて保存(&A)")}));
    QCOMPARE(byDefault, QStringLiteral("キャンセル"));
    QCOMPARE(ReadFile(dir.Path(kDefaultBook)), theirs);
    QVERIFY(run.Doc().IsModified());

    // 上書き writes the window's book.
    AnswerMessageBox(QMessageBox::Yes);
    Trigger(run.Frame(), ID_FILE_SAVE);
    QVERIFY(!run.Doc().IsModified());
    QVERIFY(ReadFile(dir.Path(kDefaultBook)).contains("ono"));

    // Changed again with nothing unsaved: coming back to the window offers to read it again.
    WriteBook(dir.Path(kDefaultBook), {Rec("third")});
    AnswerMessageBox(QMessageBox::Yes, &question);
    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    run.Frame().activateWindow();
    QTRY_COMPARE(BookNames(run.Doc()), QStringList{QStringLiteral("third")});
    QVERIFY2(question.endsWith(QStringLiteral("読み込み直しますか?")), qPrintable(question));
}

#include "MarloAppTest.moc"

std::unique_ptr<QObject> MakeMarloAppTest() {
    return std::make_unique<MarloAppTest>();
}

void MarloAppTest::importAndExportContacts() {
    TempWorkDir dir;
    WriteBook(dir.Path(kDefaultBook), kBook);
    WriteFile(dir.Path(QStringLiteral("phone.vcf")),
              QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:山田 花子\r\nX-PHONETIC-LAST-NAME:ヤマダ\r\n"
                             "X-PHONETIC-FIRST-NAME:ハナコ\r\nTEL:090-1111-2222\r\nNOTE:寿司🍣\r\nEND:VCARD\r\n"
                             "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:阿部 一郎\r\nX-PHONETIC-LAST-NAME:アベ\r\n"
                             "X-PHONETIC-FIRST-NAME:イチロウ\r\nEND:VCARD\r\n")
                  .toUtf8());
    RunningApp run;
    QVERIFY(run.Start());
    QVERIFY(!run.Doc().IsModified());
    {
        // The report names the file, and lists what it could not carry.
        QString summary, details;
        WhenModal("CImportReportDlg", [&](QWidget* w) {
            summary = w->findChild<QLabel*>(QString::number(IDC_IMPORT_SUMMARY))->text();
            details = w->findChild<QPlainTextEdit*>(QString::number(IDC_IMPORT_DETAILS))->toPlainText();
            QTest::keyClick(w, Qt::Key_Return);
        });
        AnswerFileDialog(dir.Path(QStringLiteral("phone.vcf")));
        Trigger(run.Frame(), ID_FILE_IMPORT);
        QCOMPARE(summary, QStringLiteral("「phone.vcf」から 2 件を追加しました。"));
        QVERIFY2(details.contains(QStringLiteral("「山田 花子」の 「🍣」")), qPrintable(details));
    }
    // Filed in their places and listed newest first, as the data-entry dialog lists them.
    QVERIFY(run.Doc().IsModified());
    QCOMPARE(Names(run), QStringList({"abe ichirou", "yamada hanako"}));
    QCOMPARE(BookNames(run.Doc()).indexOf(QStringLiteral("abe ichirou")), 1);
    QTest::keyClicks(&SearchBox(run), "yamada h");
    QCOMPARE(Names(run), QStringList({"yamada hanako"}));
    QCOMPARE(Column(run.View().m_listCtrl, 3), QStringList({QStringLiteral("寿司")}));

    // The whole book out; the extension typed decides the format.
    MessageBoxRecorder boxes;
    AnswerFileDialog(dir.Path(QStringLiteral("out.csv")));
    Trigger(run.Frame(), ID_FILE_EXPORT);
    QCOMPARE(boxes.m_texts.size(), 1);
    QVERIFY2(boxes.m_texts[0].endsWith(QStringLiteral(" に 8 件を書き出しました。")), qPrintable(boxes.m_texts[0]));
    const QByteArray csv = ReadFile(dir.Path(QStringLiteral("out.csv")));
    QVERIFY(csv.startsWith("\xEF\xBB\xBF" + QStringLiteral("ローマ字名,漢字名,電話番号,メモ\r\n").toUtf8()));
    QVERIFY(csv.contains(QStringLiteral("\r\nyamada hanako,山田 花子,090-1111-2222,寿司\r\n").toUtf8()));

    // Google's columns, when that filter is chosen.
    AnswerFileDialog(dir.Path(QStringLiteral("google.csv")), QStringLiteral("Google コンタクト CSV (*.csv)"));
    Trigger(run.Frame(), ID_FILE_EXPORT);
    QVERIFY(ReadFile(dir.Path(QStringLiteral("google.csv"))).startsWith("\xEF\xBB\xBFName,Given Name,Family Name,"));
}
