// The window's sync against a real CardDAV server (Radicale on 127.0.0.1): the
// settings dialog, a sync that files and sends, commands refused while one runs, cancel.

#include "UiTestUtil.h"

#include "../sync/Radicale.h"
#include "app/MarloApp.h"
#include "data/MarloDoc.h"
#include "platform/ui/FrameWnd.h"
#include "res/Resource.h"
#include "sync/DavClient.h"
#include "view/MarloView.h"

#include <QApplication>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

namespace {

const QString kBookName = QStringLiteral("電話帳");
const std::vector<PhoneRecord> kBook = {Rec("abe", QStringLiteral("阿部"), "03-1111-0001")};

template <class T> T* Control(QWidget* dlg, int nId) {
    return dlg->findChild<T*>(QString::number(nId));
}

/// Answers the settings dialog: the server, alice, her password, and the address book
/// whose name is `pick`. With `wrongMessage`, a wrong password is tried first and what
/// the dialog says of it kept there.
void AnswerSettings(const QUrl& server, const QString& pick, QString* wrongMessage = nullptr) {
    WhenModal("CSyncSettingsDlg", [server, pick, wrongMessage](QWidget* w) {
        auto* find = Control<QPushButton>(w, IDC_SYNC_FIND);
        auto* message = Control<QLabel>(w, IDC_SYNC_MESSAGE);
        auto* books = Control<QListWidget>(w, IDC_SYNC_BOOKS);
        Control<QLineEdit>(w, IDC_SYNC_URL)->setText(server.toString());
        Control<QLineEdit>(w, IDC_SYNC_USER)->setText(QStringLiteral("alice"));
        if (wrongMessage) {
            Control<QLineEdit>(w, IDC_SYNC_PASSWORD)->setText(QStringLiteral("wrong"));
            find->click();
            QTRY_VERIFY(find->isEnabled());
            *wrongMessage = message->text();
        }
        QCOMPARE(Control<QLineEdit>(w, IDC_SYNC_PASSWORD)->echoMode(), QLineEdit::Password);
        Control<QLineEdit>(w, IDC_SYNC_PASSWORD)->setText(QStringLiteral("secret"));
        find->click();
        QTRY_VERIFY(books->count() > 0);
        for (QListWidgetItem* item : books->findItems(pick, Qt::MatchStartsWith))
            books->setCurrentItem(item);
        Control<QPushButton>(w, IDOK)->click();
    });
}

/// The cards of the address book at `book`.
QList<QByteArray> Cards(const QUrl& book) {
    DavClient dav(QStringLiteral("alice"), QStringLiteral("secret"));
    auto [error, listing] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.SyncCollection(book, {}, done); });
    std::vector<QString> hrefs;
    for (const DavResource& r : listing.resources)
        if (r.nStatus != 404 && !r.href.endsWith(u'/'))
            hrefs.push_back(r.href);
    QList<QByteArray> cards;
    if (hrefs.empty())
        return cards;
    auto [fetchError, got] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.Multiget(book, hrefs, done); });
    for (const DavResource& r : got.resources)
        cards << r.addressData;
    return cards;
}

QString Status(const RunningApp& run) {
    auto* label = run.Frame().statusBar()->findChild<QLabel*>(QStringLiteral("syncStatus"));
    return label ? label->text() : QString();
}

/// Whether any file under `folder` holds `bytes`.
bool AnyFileHolds(const QString& folder, const QByteArray& bytes) {
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext())
        if (ReadFile(files.next()).contains(bytes))
            return true;
    return false;
}

/// A working folder holding the phone book, and a server with alice's address book "office".
struct Setup {
    Setup() {
        if (server.Failure().isEmpty())
            office = server.MakeAddressBook(QStringLiteral("office"));
        WriteBook(dir.Path(kBookName), kBook);
    }
    TempWorkDir dir;
    Radicale server;
    QUrl office;
};

} // namespace

class SyncTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void settingsFindTheBooksAndKeepTheLinkNotThePassword();
    void aCertificateIsTrustedOnlyWhenTheUserSaysSo();
    void syncFilesTheServersCardsAndSendsTheBooks();
    void aRunningSyncRefusesToReplaceTheBookAndCancels();
};

void SyncTest::initTestCase() {
    // Never the desktop's own secret store: the passwords stay in the program's memory.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
}

void SyncTest::settingsFindTheBooksAndKeepTheLinkNotThePassword() {
    Setup s;
    QVERIFY2(s.server.Failure().isEmpty(), qPrintable(s.server.Failure()));
    s.server.MakeAddressBook(QStringLiteral("home"));
    RunningApp run;
    QVERIFY(run.Start());

    MessageBoxRecorder boxes; // the secret store's absence is told
    QString wrong;
    AnswerSettings(s.server.Root(), QStringLiteral("office"), &wrong);
    Trigger(run.Frame(), ID_FILE_SYNC_SETTINGS);
    QCOMPARE(wrong, QStringLiteral("ユーザー名またはパスワードが違います。"));
    QTRY_COMPARE(boxes.m_texts.size(), 1);
    QVERIFY2(boxes.m_texts[0].contains(QStringLiteral("プログラムを終了するまでだけ")), qPrintable(boxes.m_texts[0]));

    // Kept under the book's path, beside the program's other settings; no password there.
    const QSettings settings(QStringLiteral("Marlo"), QStringLiteral("Marlo"));
    const QString section =
        QStringLiteral("Sync/") + QString::fromLatin1(QFile::encodeName(s.dir.Path(kBookName)).toPercentEncoding());
    QCOMPARE(settings.value(section + QStringLiteral("/Address Book")).toUrl(), s.office);
    QCOMPARE(settings.value(section + QStringLiteral("/User")).toString(), QStringLiteral("alice"));
    QVERIFY(!AnyFileHolds(s.dir.ConfigPath(), "secret"));

    // Opened again, the dialog shows the link; OK keeps it as it was.
    WhenModal("CSyncSettingsDlg", [&](QWidget* w) {
        QCOMPARE(Control<QLineEdit>(w, IDC_SYNC_USER)->text(), QStringLiteral("alice"));
        QCOMPARE(Control<QListWidget>(w, IDC_SYNC_BOOKS)->selectedItems().size(), 1);
        Control<QPushButton>(w, IDOK)->click();
    });
    Trigger(run.Frame(), ID_FILE_SYNC_SETTINGS);
    QCOMPARE(run.View().m_sync.LoadLink(run.Doc().GetPathName())->book, s.office);
}

void SyncTest::aCertificateIsTrustedOnlyWhenTheUserSaysSo() {
    TempWorkDir dir;
    Radicale server(true);
    QVERIFY2(server.Failure().isEmpty(), qPrintable(server.Failure()));
    server.MakeAddressBook(QStringLiteral("office"));
    WriteBook(dir.Path(kBookName), kBook);
    RunningApp run;
    QVERIFY(run.Start());
    const QString fingerprint = QString::fromLatin1(server.CertificateDigest().toHex(':').toUpper());
    QString refused, asked;
    WhenModal("CSyncSettingsDlg", [&](QWidget* w) {
        Control<QLineEdit>(w, IDC_SYNC_URL)->setText(server.Root().toString());
        Control<QLineEdit>(w, IDC_SYNC_USER)->setText(QStringLiteral("alice"));
        Control<QLineEdit>(w, IDC_SYNC_PASSWORD)->setText(QStringLiteral("secret"));
        auto* books = Control<QListWidget>(w, IDC_SYNC_BOOKS);
        // No: nothing is found, and the dialog says why.
        AnswerMessageBox(QMessageBox::No, &asked);
        Control<QPushButton>(w, IDC_SYNC_FIND)->click();
        QTRY_VERIFY(!asked.isEmpty());
        QVERIFY2(asked.contains(fingerprint), qPrintable(asked));
        refused = Control<QLabel>(w, IDC_SYNC_MESSAGE)->text();
        QCOMPARE(books->count(), 0);
        // Yes: the same certificate is accepted, and only it.
        AnswerMessageBox(QMessageBox::Yes);
        Control<QPushButton>(w, IDC_SYNC_FIND)->click();
        QTRY_COMPARE(books->count(), 1);
        Control<QPushButton>(w, IDOK)->click();
    });
    Trigger(run.Frame(), ID_FILE_SYNC_SETTINGS);
    MessageBoxRecorder boxes; // the secret store's absence
    QTRY_COMPARE(boxes.m_texts.size(), 1);
    QVERIFY2(refused.contains(QStringLiteral("証明書を確認できない")), qPrintable(refused));
    QCOMPARE(run.View().m_sync.LoadLink(run.Doc().GetPathName())->certificate, server.CertificateDigest());
}

void SyncTest::syncFilesTheServersCardsAndSendsTheBooks() {
    Setup s;
    QVERIFY2(s.server.Failure().isEmpty(), qPrintable(s.server.Failure()));
    // A phone's card, with the readings of its name.
    const QByteArray card =
        QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nFN:山田 花子\r\nN:山田;花子;;;\r\n"
                       "X-PHONETIC-LAST-NAME:ヤマダ\r\nX-PHONETIC-FIRST-NAME:ハナコ\r\n"
                       "TEL:090-1111-2222\r\nEND:VCARD\r\n")
            .toUtf8();
    {
        DavClient dav(QStringLiteral("alice"), QStringLiteral("secret"));
        auto [error, etag] = DavAwait<DavError, QByteArray>(
            [&](auto done) { dav.Put(DavClient::Resolve(s.office, QStringLiteral("phone-1.vcf")), card, {}, done); });
        QVERIFY2(!error, qPrintable(error.message));
    }
    RunningApp run;
    QVERIFY(run.Start());

    // Without a link, 同期 asks for one first, then syncs.
    MessageBoxRecorder boxes;
    AnswerSettings(s.server.Root(), QStringLiteral("office"));
    Trigger(run.Frame(), ID_FILE_SYNC);
    QTRY_VERIFY(!run.View().m_sync.IsRunning());
    QCOMPARE(Status(run), QStringLiteral("同期しました: 1 件を受け取り、1 件を送りました。"));
    // Filed, listed, saved; and the book's entry is on the server.
    QVERIFY(Column(run.View().m_listCtrl).contains(QStringLiteral("yamada hanako")));
    QVERIFY(!run.Doc().IsModified());
    QVERIFY(ReadFile(s.dir.Path(kBookName)).contains("yamada hanako"));
    const QList<QByteArray> cards = Cards(s.office);
    QCOMPARE(cards.size(), 2);
    QVERIFY(std::any_of(cards.begin(), cards.end(), [](const QByteArray& c) { return c.contains("03-1111-0001"); }));
    // The password is in no file: not the settings, not the sync's state.
    QVERIFY(!AnyFileHolds(s.dir.ConfigPath(), "secret"));
    QVERIFY(!AnyFileHolds(s.dir.ConfigPath(), QByteArray("alice:secret").toBase64()));
    QVERIFY(!AnyFileHolds(s.dir.Path({}), "secret"));

    // Both sides change the phone's contact: the report lists both versions.
    {
        DavClient dav(QStringLiteral("alice"), QStringLiteral("secret"));
        auto [error, listing] =
            DavAwait<DavError, DavMultistatus>([&](auto done) { dav.SyncCollection(s.office, {}, done); });
        const auto phone = std::find_if(listing.resources.begin(), listing.resources.end(), [](const DavResource& r) {
            return r.href.endsWith(QLatin1String("phone-1.vcf"));
        });
        QVERIFY(phone != listing.resources.end());
        QByteArray changed = card;
        changed.replace("090-1111-2222", "090-3333-4444");
        auto [putError, etag] = DavAwait<DavError, QByteArray>(
            [&](auto done) { dav.Put(DavClient::Resolve(s.office, phone->href), changed, phone->etag, done); });
        QVERIFY2(!putError, qPrintable(putError.message));
    }
    const std::optional<std::size_t> at =
        run.Doc().FindEntry(Rec("yamada hanako", QStringLiteral("山田 花子"), "090-1111-2222"));
    QVERIFY(at);
    run.View().m_history.Replace(*at, Rec("yamada hanako", QStringLiteral("山田 花子"), "090-5555-6666"));
    QString details;
    WhenModal("CImportReportDlg", [&](QWidget* w) {
        details = Control<QPlainTextEdit>(w, IDC_IMPORT_DETAILS)->toPlainText();
        QTest::keyClick(w, Qt::Key_Return);
    });
    Trigger(run.Frame(), ID_FILE_SYNC);
    QTRY_VERIFY(!details.isEmpty());
    QVERIFY2(details.contains(QStringLiteral("サーバーの版: yamada hanako / 山田 花子 / 090-3333-4444")),
             qPrintable(details));
    QVERIFY2(details.contains(QStringLiteral("この電話帳の版: yamada hanako / 山田 花子 / 090-5555-6666")),
             qPrintable(details));
}

void SyncTest::aRunningSyncRefusesToReplaceTheBookAndCancels() {
    Setup s;
    QVERIFY2(s.server.Failure().isEmpty(), qPrintable(s.server.Failure()));
    RunningApp run;
    QVERIFY(run.Start());
    MessageBoxRecorder boxes;
    AnswerSettings(s.server.Root(), QStringLiteral("office"));
    Trigger(run.Frame(), ID_FILE_SYNC_SETTINGS);
    QTRY_COMPARE(boxes.m_texts.size(), 1); // the secret store's absence
    boxes.m_texts.clear();

    // Esc stops the sync before the server has answered: nothing is sent.
    run.Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&run.Frame()));
    Trigger(run.Frame(), ID_FILE_SYNC);
    QVERIFY(run.View().m_sync.IsRunning());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QTRY_VERIFY(!run.View().m_sync.IsRunning());
    QVERIFY2(Status(run).startsWith(QStringLiteral("同期を中止しました。")), qPrintable(Status(run)));
    QCOMPARE(Cards(s.office).size(), 0);
    QCOMPARE(boxes.m_texts, QStringList()); // the user's own cancel is no error

    // The next sync finishes; while it runs, New is refused and the book stays.
    Trigger(run.Frame(), ID_FILE_SYNC);
    Trigger(run.Frame(), ID_FILE_NEW);
    QCOMPARE(boxes.m_texts.size(), 1);
    QVERIFY2(boxes.m_texts[0].startsWith(QStringLiteral("電話帳をサーバーと同期しています。")),
             qPrintable(boxes.m_texts[0]));
    QCOMPARE(run.Doc().GetPathName(), QFile::encodeName(s.dir.Path(kBookName)).toStdString());
    QTRY_VERIFY(!run.View().m_sync.IsRunning());
    QCOMPARE(Status(run), QStringLiteral("同期しました: 1 件を送りました。"));
    QCOMPARE(Cards(s.office).size(), 1);
    // Once it is over, New works again.
    Trigger(run.Frame(), ID_FILE_NEW);
    QCOMPARE(boxes.m_texts.size(), 1);

    // A password the server no longer takes: said, and the settings open to mend it.
    QVERIFY(run.Doc().OnOpenDocument(QFile::encodeName(s.dir.Path(kBookName)).toStdString()));
    run.Doc().SetPathName(QFile::encodeName(s.dir.Path(kBookName)).toStdString());
    s.server.SetPassword("changed");
    bool bSettingsOpened = false;
    WhenModal("CSyncSettingsDlg", [&](QWidget* w) {
        bSettingsOpened = true;
        Control<QPushButton>(w, IDCANCEL)->click();
    });
    Trigger(run.Frame(), ID_FILE_SYNC);
    QTRY_VERIFY(bSettingsOpened);
    QVERIFY2(boxes.m_texts.last().startsWith(QStringLiteral("ユーザー名またはパスワードが違います。")),
             qPrintable(boxes.m_texts.last()));
}

#include "SyncTest.moc"

std::unique_ptr<QObject> MakeSyncTest() {
    return std::make_unique<SyncTest>();
}
