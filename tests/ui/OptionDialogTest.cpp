// The options dialog through the menu, the check box and the keys, and the
// settings file it writes.

#include "UiTestUtil.h"

#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "data/Settings.h"
#include "platform/SystemError.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kProfile = QStringLiteral("profile");

/// Starts the program with these bytes in ./profile; a null array: no settings file.
struct App : RunningApp {
    App(const TempWorkDir& dir, const QByteArray& profile, const std::vector<PhoneRecord>& book = {}) {
        if (!profile.isNull())
            WriteFile(dir.Path(kProfile), profile);
        WriteBook(dir.Path(QStringLiteral("電話帳")), book);
        if (!Start())
            throw std::runtime_error("the program did not start");
    }
};

QLineEdit& CountBox(QWidget* dlg) {
    return *GetDlgItem<QLineEdit>(dlg, IDC_OPTION_MAXCOUNT);
}

QCheckBox& ShowAllBox(QWidget* dlg) {
    return *GetDlgItem<QCheckBox>(dlg, IDC_OPTION_SHOWALL);
}

/// While it lives, notes the caption and text of every message box and presses its
/// OK: a step that fails where it should pass then cannot leave a box waiting.
class MessageLog {
public:
    MessageLog() {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_messages << box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(20);
    }
    QStringList m_messages; // "caption|text"

private:
    QTimer m_timer;
};

/// "オプション(&O)" from the menu; `act` answers the dialog. A dialog `act` leaves
/// open is cancelled, so that a failed check does not hang the test. Returns the
/// message boxes shown meanwhile, as "caption|text".
QStringList RunOptions(RunningApp& run, const std::function<void(QWidget*)>& act) {
    MessageLog log;
    WhenModal("COptionDlg", [act](QWidget* w) {
        QPointer<QWidget> dlg = w;
        act(w);
        if (dlg && dlg->isVisible())
            static_cast<QDialog*>(w)->reject();
    });
    QAction* item = run.Frame().FindMenuItem(ID_OPTIONS);
    if (!item)
        throw std::runtime_error("no options command in the menu");
    emit static_cast<QMenu*>(item->parent())->aboutToShow();
    item->trigger();
    return log.m_messages;
}

void ClickOk(QWidget* dlg) {
    QTest::mouseClick(GetDlgItem<QPushButton>(dlg, IDOK), Qt::LeftButton);
}

/// One user step in the dialog: "check" clicks the check box, "type N" replaces the
/// number with N. Checks what a click must do to the number box on the way.
void Step(QWidget* dlg, const QString& step) {
    QLineEdit& count = CountBox(dlg);
    if (step == QLatin1String("check")) {
        const QString before = count.text();
        QCheckBox& box = ShowAllBox(dlg);
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2)); // on the square
        if (box.isChecked()) {
            QCOMPARE(count.text(), QStringLiteral("0"));
            QVERIFY(!count.isEnabled());
        } else {
            QCOMPARE(count.text(), before);
            QVERIFY(count.isEnabled());
        }
    } else if (step.startsWith(QLatin1String("type "))) {
        QVERIFY(count.isEnabled());
        count.setFocus();
        QTest::keyClick(&count, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&count, Qt::Key_Backspace);
        QTest::keyClicks(&count, step.mid(5));
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

} // namespace

class OptionDialogTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheLimitAndCancelKeepsIt_data();
    void opensWithTheLimitAndCancelKeepsIt();
    void okStoresAndWrites_data();
    void okStoresAndWrites();
    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void numberOutsideTheRangeIsRefused_data();
    void numberOutsideTheRangeIsRefused();
    void newLimitAppliesAtTheNextKeystroke();
    void settingsFileThatCannotBeWritten();
    void workingFolderNamedInAnotherEncoding();
};

void OptionDialogTest::opensWithTheLimitAndCancelKeepsIt_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<int>("limit");
    QTest::addColumn<bool>("showAll");
    QTest::newRow("no settings file") << QByteArray() << 0 << true;
    QTest::newRow("30") << QByteArray("30\r\n") << 30 << false;
    // A value only a hand-edited file holds is shown as it is.
    QTest::newRow("above the range") << QByteArray("12345\0\r\n", 8) << 12345 << false;
}

void OptionDialogTest::opensWithTheLimitAndCancelKeepsIt() {
    QFETCH(QByteArray, profile);
    QFETCH(int, limit);
    QFETCH(bool, showAll);
    TempWorkDir dir;
    App run(dir, profile);
    QCOMPARE(run.Doc().m_nMaxHits, limit);
    const QStringList messages = RunOptions(run, [&](QWidget* w) {
        QCOMPARE(w->windowTitle(), QStringLiteral("オプション"));
        QCOMPARE(CountBox(w).text(), QString::number(limit));
        QCOMPARE(ShowAllBox(w).isChecked(), showAll);
        QCOMPARE(CountBox(w).isEnabled(), !showAll);
        QCOMPARE(QApplication::focusWidget(), GetDlgItem(w, IDOK));
        // Whatever is changed, Cancel keeps nothing.
        Step(w, QStringLiteral("check"));
        if (!ShowAllBox(w).isChecked())
            Step(w, QStringLiteral("type 77"));
        QTest::mouseClick(GetDlgItem<QPushButton>(w, IDCANCEL), Qt::LeftButton);
    });
    QCOMPARE(messages, QStringList());
    QCOMPARE(run.Doc().m_nMaxHits, limit);
    QCOMPARE(QFileInfo::exists(dir.Path(kProfile)), !profile.isNull());
    QCOMPARE(ReadFile(dir.Path(kProfile)), profile);
}

void OptionDialogTest::okStoresAndWrites_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QByteArray>("written"); // hex
    QTest::newRow("no limit, no file") << QByteArray() << QStringList() << 0 << QByteArray("30 00");
    QTest::newRow("checked") << QByteArray("30\r\n") << QStringList{"check"} << 0 << QByteArray("30 00 0D 0A");
    QTest::newRow("checked and unchecked")
        << QByteArray("30\r\n") << QStringList{"check", "check"} << 0 << QByteArray("30 00 0D 0A");
    QTest::newRow("unchecked, a number typed")
        << QByteArray() << QStringList{"check", "type 100"} << 100 << QByteArray("31 30 30 00");
    QTest::newRow("largest") << QByteArray("30\r\n") << QStringList{"type 9999"} << 9999
                             << QByteArray("39 39 39 39 00");
    QTest::newRow("shorter than before") << QByteArray("100\r\nxy") << QStringList{"type 5"} << 5
                                         << QByteArray("35 00 30 0D 0A 78 79");
}

void OptionDialogTest::okStoresAndWrites() {
    QFETCH(QByteArray, profile);
    QFETCH(QStringList, steps);
    QFETCH(int, limit);
    QFETCH(QByteArray, written);
    TempWorkDir dir;
    App run(dir, profile);
    const QStringList messages = RunOptions(run, [&](QWidget* w) {
        for (const QString& step : steps)
            Step(w, step);
        ClickOk(w);
    });
    QCOMPARE(messages, QStringList());
    QCOMPARE(run.Doc().m_nMaxHits, limit);
    QCOMPARE(ReadFile(dir.Path(kProfile)), QByteArray::fromHex(written));
    // The hit limit is no part of the phone book.
    QVERIFY(!run.Doc().IsModified());
}

void OptionDialogTest::enterPressesTheFocusedButton_data() {
    QTest::addColumn<int>("control");
    QTest::addColumn<bool>("stored");
    QTest::newRow("OK") << int(IDOK) << true;
    QTest::newRow("Cancel") << int(IDCANCEL) << false;
    QTest::newRow("check box: the default button") << int(IDC_OPTION_SHOWALL) << true;
    QTest::newRow("number box: the default button") << int(IDC_OPTION_MAXCOUNT) << true;
}

void OptionDialogTest::enterPressesTheFocusedButton() {
    QFETCH(int, control);
    QFETCH(bool, stored);
    TempWorkDir dir;
    App run(dir, QByteArray("30\r\n"));
    bool bClosed = false;
    RunOptions(run, [&](QWidget* w) {
        Step(w, QStringLiteral("type 12"));
        PressEnterOn(GetDlgItem(w, control));
        bClosed = !w->isVisible();
    });
    QVERIFY(bClosed);
    QCOMPARE(run.Doc().m_nMaxHits, stored ? 12 : 30);
    QCOMPARE(ReadFile(dir.Path(kProfile)) != QByteArray("30\r\n"), stored);
}

void OptionDialogTest::numberOutsideTheRangeIsRefused_data() {
    QTest::addColumn<QByteArray>("profile");
    QTest::addColumn<QString>("typed"); // empty: the number read from the file
    QTest::addColumn<QString>("fix");
    QTest::addColumn<int>("limit");
    QTest::newRow("above") << QByteArray("30\r\n") << "10000"
                           << "type 25" << 25;
    QTest::newRow("below") << QByteArray("30\r\n") << "-1"
                           << "type 25" << 25;
    QTest::newRow("letters") << QByteArray("30\r\n") << "abc"
                             << "type 25" << 25;
    QTest::newRow("from the file") << QByteArray("-3\r\n") << QString() << "check" << 0;
}

void OptionDialogTest::numberOutsideTheRangeIsRefused() {
    QFETCH(QByteArray, profile);
    QFETCH(QString, typed);
    QFETCH(QString, fix);
    QFETCH(int, limit);
    TempWorkDir dir;
    App run(dir, profile);
    const int before = run.Doc().m_nMaxHits;
    const QStringList messages = RunOptions(run, [&](QWidget* w) {
        if (!typed.isEmpty())
            Step(w, QStringLiteral("type ") + typed);
        ClickOk(w);
        // Refused: still open, the focus back in the box, nothing stored or written.
        QVERIFY(w->isVisible());
        QCOMPARE(w->focusWidget(), &CountBox(w));
        QCOMPARE(run.Doc().m_nMaxHits, before);
        QCOMPARE(ReadFile(dir.Path(kProfile)), profile);
        Step(w, fix);
        ClickOk(w);
    });
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(QRegularExpression(QStringLiteral("^Marlo\\|.*\\b0\\b.*\\b9999\\b"))),
             qPrintable(messages[0]));
    QCOMPARE(run.Doc().m_nMaxHits, limit);
    QCOMPARE(ReadMaxHits(QFile::encodeName(dir.Path(kProfile)).toStdString()), limit);
}

void OptionDialogTest::newLimitAppliesAtTheNextKeystroke() {
    TempWorkDir dir;
    std::vector<PhoneRecord> book;
    for (const char* name : {"aa1", "aa2", "aa3", "aa4", "ab"})
        book.push_back(Rec(name));
    std::optional<App> run(std::in_place, dir, QByteArray(), book);
    auto* search = run->View().GetDlgItem<QLineEdit>(IDC_SEARCH);
    QTest::keyClicks(search, "a");
    QCOMPARE(run->View().m_listCtrl.GetItemCount(), 5);
    const QStringList messages = RunOptions(*run, [](QWidget* w) {
        Step(w, QStringLiteral("check"));
        Step(w, QStringLiteral("type 2"));
        ClickOk(w);
    });
    QCOMPARE(messages, QStringList());
    // The list is not searched again until the text changes.
    QCOMPARE(run->View().m_listCtrl.GetItemCount(), 5);
    QTest::keyClicks(search, "a");
    QCOMPARE(Column(run->View().m_listCtrl), QStringList({"aa1", "aa2"}));
    // The next start reads the limit back.
    run.reset();
    run.emplace(dir, ReadFile(dir.Path(kProfile)), book);
    QCOMPARE(run->Doc().m_nMaxHits, 2);
}

void OptionDialogTest::settingsFileThatCannotBeWritten() {
    TempWorkDir dir;
    QVERIFY(QDir(dir.Path(QString())).mkdir(kProfile));
    App run(dir, QByteArray());
    const QStringList messages = RunOptions(run, [&](QWidget* w) {
        Step(w, QStringLiteral("check"));
        Step(w, QStringLiteral("type 7"));
        ClickOk(w);
    });
    QCOMPARE(messages.size(), 1);
    const QString& message = messages[0];
    QVERIFY2(message.startsWith(QStringLiteral("Marlo|")), qPrintable(message));
    QVERIFY2(message.contains(QDir::toNativeSeparators(dir.Path(kProfile))), qPrintable(message));
    QVERIFY2(message.contains(QString::fromStdString(SystemErrorText(EISDIR))), qPrintable(message));
    // The new limit holds for this run all the same.
    QCOMPARE(run.Doc().m_nMaxHits, 7);
    QVERIFY(QFileInfo(dir.Path(kProfile)).isDir());
}

// The settings file is the working folder's own, whatever bytes the folder's name holds.
void OptionDialogTest::workingFolderNamedInAnotherEncoding() {
    TempWorkDir dir;
    const std::string folder = QFile::encodeName(QDir::currentPath()).toStdString() + "/\x93\x64\x98\x62";
    QVERIFY(::mkdir(folder.c_str(), 0700) == 0 && ::chdir(folder.c_str()) == 0);
    // The temporary folder's removal cannot name this one: it goes by its bytes.
    const struct Remove {
        std::string folder;
        ~Remove() {
            ::unlink((folder + "/profile").c_str());
            ::rmdir(folder.c_str());
        }
    } remove{folder};
    App run(dir, QByteArray());
    const QStringList messages = RunOptions(run, [&](QWidget* w) {
        Step(w, QStringLiteral("check"));
        Step(w, QStringLiteral("type 7"));
        ClickOk(w);
    });
    QCOMPARE(messages, QStringList());
    char bytes[8] = {};
    const int fd = ::open((folder + "/profile").c_str(), O_RDONLY);
    QVERIFY(fd >= 0);
    const ssize_t got = ::read(fd, bytes, sizeof bytes);
    ::close(fd);
    QCOMPARE(QByteArray(bytes, static_cast<int>(got)), QByteArray("7\0", 2));
}

#include "OptionDialogTest.moc"

std::unique_ptr<QObject> MakeOptionDialogTest() {
    return std::make_unique<OptionDialogTest>();
}
