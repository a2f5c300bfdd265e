#include "sync/BookSync.h"

#include "../TestUtil.h"
#include "Radicale.h"
#include "data/MarloDoc.h"
#include "data/MrlData.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string Sjis(const char* utf8) {
    return UnicodeToCp932(QString::fromUtf8(utf8)).bytes;
}

std::vector<PhoneRecord> Sorted(std::vector<PhoneRecord> records) {
    std::sort(records.begin(), records.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
        return std::tie(a.m_strRomaji, a.m_strKanji, a.m_strPhone, a.m_strMemo) <
               std::tie(b.m_strRomaji, b.m_strKanji, b.m_strPhone, b.m_strMemo);
    });
    return records;
}

// Every card of the address book, by href.
std::map<QString, QByteArray> Cards(DavClient& dav, const QUrl& book) {
    auto [error, listing] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.SyncCollection(book, {}, done); });
    std::vector<QString> hrefs;
    for (const DavResource& r : listing.resources)
        if (r.nStatus != 404) // removed
            hrefs.push_back(r.href);
    std::map<QString, QByteArray> cards;
    if (hrefs.empty())
        return cards;
    auto [fetchError, got] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.Multiget(book, hrefs, done); });
    for (const DavResource& r : got.resources)
        cards[r.href] = r.addressData;
    return cards;
}

std::vector<PhoneRecord> OnServer(DavClient& dav, const QUrl& book) {
    std::vector<PhoneRecord> records;
    for (const auto& [href, card] : Cards(dav, book))
        records.push_back(EntryOfVCard(card.toStdString()).value_or(PhoneRecord{"unreadable", {}, {}, {}}));
    return Sorted(records);
}

// A phone book on disk with its own sync state, synced as the window syncs it.
class Book {
public:
    Book(const QTemporaryDir& dir, const char* name)
        : m_path(dir.filePath(name).toStdString()), m_state(dir.filePath(QString(name) + ".sync.json")) {
        m_doc.SetReporter(&m_reporter);
        m_doc.OnNewDocument();
    }
    CMarloDoc& Doc() { return m_doc; }
    const QString& StatePath() const { return m_state; }
    const std::string& Path() const { return m_path; }

    QString Sync(DavClient& dav, const QUrl& url, SyncReport* report = nullptr,
                 std::function<void(QString)> progress = {}) {
        BookSync sync(m_doc, dav, url, m_state, [this] { return m_doc.OnSaveDocument(m_path); });
        auto [error, done] = DavAwait<QString, SyncReport>([&](auto finish) { sync.Start(finish, progress); });
        if (report)
            *report = done;
        return error;
    }
    std::vector<PhoneRecord> Records() const {
        std::vector<PhoneRecord> records;
        for (std::size_t i = 0; i < m_doc.m_pData->m_list.GetCount(); ++i)
            records.push_back(m_doc.m_pData->m_list[i].ToRecord());
        return Sorted(records);
    }
    /// The records of the file, as the next open would read them.
    std::vector<PhoneRecord> OnDisk() const {
        CMarloDoc disk;
        RecordingReporter reporter;
        disk.SetReporter(&reporter);
        if (!disk.OnOpenDocument(m_path))
            return {};
        std::vector<PhoneRecord> records;
        for (std::size_t i = 0; i < disk.m_pData->m_list.GetCount(); ++i)
            records.push_back(disk.m_pData->m_list[i].ToRecord());
        return Sorted(records);
    }
    void Add(const PhoneRecord& record) { m_doc.AddEntry(record); }
    /// Changes the first entry named `romaji`.
    void Change(const std::string& romaji, const std::function<void(PhoneRecord&)>& change) {
        for (std::size_t i = 0; i < m_doc.m_pData->m_list.GetCount(); ++i) {
            PhoneRecord record = m_doc.m_pData->m_list[i].ToRecord();
            if (record.m_strRomaji == romaji) {
                change(record);
                m_doc.ReplaceEntry(i, record);
                return;
            }
        }
        ADD_FAILURE() << "no entry " << romaji;
    }
    void Remove(const std::string& romaji) {
        for (std::size_t i = 0; i < m_doc.m_pData->m_list.GetCount(); ++i)
            if (m_doc.m_pData->m_list[i].m_strRomaji == romaji)
                return m_doc.RemoveEntry(i);
        ADD_FAILURE() << "no entry " << romaji;
    }

private:
    std::string m_path;
    QString m_state;
    RecordingReporter m_reporter;
    CMarloDoc m_doc;
};

// The application object comes before the fixture's network client.
struct WithApp {
    WithApp() { NeedCoreApplication(); }
};

class BookSyncTest : public ::testing::Test, WithApp {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Failure().isEmpty()) << server.Failure().toStdString();
        url = server.MakeAddressBook("office");
    }
    Radicale server;
    QUrl url;
    DavClient dav{"alice", "secret"};
    QTemporaryDir dir;
};

const PhoneRecord kTanaka{"tanaka ichirou", "\x93\x63\x92\x86 \x88\xea\x98\x59", "03-1111-1111", ""};

} // namespace

// Two books on one address book: what each adds, changes and deletes reaches the other,
// both files hold what the server holds, and a sync with nothing new sends nothing.
TEST_F(BookSyncTest, TwoBooksStayEqualThroughAddsChangesAndDeletes) {
    Book a(dir, "a.mrl"), b(dir, "b.mrl");
    a.Add(kTanaka);
    a.Add({"suzuki hanako", Sjis("鈴木 花子"), "090-2222-2222", Sjis("携帯: 080-3333-3333\r\nメール: hanako@example.jp\r\n営業部")});
    a.Add({"sato", Sjis("佐藤"), "", ""});
    ASSERT_EQ(a.Sync(dav, url), "");
    ASSERT_EQ(b.Sync(dav, url), "");
    EXPECT_EQ(b.Records(), a.Records());

    a.Change("tanaka ichirou", [](PhoneRecord& r) { r.m_strPhone = "03-9999-9999"; });
    b.Remove("sato");
    b.Add({"ito", Sjis("伊藤"), "045-000-0000", ""});
    for (Book* book : {&a, &b, &a})
        ASSERT_EQ(book->Sync(dav, url), "");
    EXPECT_EQ(a.Records(), b.Records());
    EXPECT_EQ(a.OnDisk(), a.Records());
    EXPECT_EQ(b.OnDisk(), b.Records());
    EXPECT_EQ(OnServer(dav, url), a.Records());
    EXPECT_EQ(a.Records().size(), 3u);

    SyncReport idle;
    ASSERT_EQ(b.Sync(dav, url, &idle), "");
    EXPECT_EQ(idle.nSent + idle.nDeleted + idle.nFiled + idle.nRemoved, 0);
    EXPECT_EQ(idle.Describe(), QStringLiteral("変更はありませんでした。"));
}

// A phone's card arrives with its romaji from the readings; a change of its number in
// the book leaves its photo and address on the server.
TEST_F(BookSyncTest, APhoneCardArrivesWithItsRomajiAndKeepsItsPhoto) {
    const QByteArray card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-1\r\nN:山田;太郎;;;\r\nFN:山田 太郎\r\n"
                            "X-PHONETIC-LAST-NAME:ヤマダ\r\nX-PHONETIC-FIRST-NAME:タロウ\r\nTEL;TYPE=CELL:090-1234-5678\r\n"
                            "ADR;TYPE=HOME:;;千代田1-2-3;千代田区;東京都;100-0001;日本\r\n"
                            "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ==\r\nEND:VCARD\r\n";
    const QUrl at = DavClient::Resolve(url, "phone-1.vcf");
    ASSERT_FALSE(std::get<0>(DavAwait<DavError, QByteArray>([&](auto done) { dav.Put(at, card, {}, done); })));
    Book book(dir, "book.mrl");
    ASSERT_EQ(book.Sync(dav, url), "");
    ASSERT_EQ(book.Records().size(), 1u);
    EXPECT_EQ(book.Records()[0].m_strRomaji, "yamada tarou");

    book.Change("yamada tarou", [](PhoneRecord& r) { r.m_strPhone = "090-0000-1111"; });
    ASSERT_EQ(book.Sync(dav, url), "");
    const QByteArray now = Cards(dav, url).at(at.path());
    EXPECT_TRUE(now.contains("TEL;TYPE=CELL:090-0000-1111")) << now.toStdString();
    EXPECT_TRUE(now.contains("PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQ==")) << now.toStdString();
    EXPECT_TRUE(now.contains("ADR;TYPE=HOME:")) << now.toStdString();
    EXPECT_TRUE(now.contains("UID:phone-1")) << now.toStdString();
}

// Both sides change one contact: the server keeps its version, the book gets it beside
// its own, which goes up as a card of its own. A change beats a delete on the other side.
TEST_F(BookSyncTest, NeitherSideOfAConflictIsLost) {
    Book a(dir, "a.mrl"), b(dir, "b.mrl");
    a.Add(kTanaka);
    a.Add({"sato", Sjis("佐藤"), "1", ""});
    ASSERT_EQ(a.Sync(dav, url), "");
    ASSERT_EQ(b.Sync(dav, url), "");
    a.Change("tanaka ichirou", [](PhoneRecord& r) { r.m_strPhone = "a's number"; });
    b.Change("tanaka ichirou", [](PhoneRecord& r) { r.m_strPhone = "b's number"; });
    a.Remove("sato");
    b.Change("sato", [](PhoneRecord& r) { r.m_strMemo = "b's note"; });
    ASSERT_EQ(a.Sync(dav, url), "");
    SyncReport report;
    ASSERT_EQ(b.Sync(dav, url, &report), "");
    ASSERT_EQ(a.Sync(dav, url), "");
    std::vector<std::string> phones;
    for (const PhoneRecord& r : a.Records())
        phones.push_back(r.m_strPhone);
    EXPECT_EQ(phones, (std::vector<std::string>{"1", "a's number", "b's number"}));
    EXPECT_EQ(a.Records()[0].m_strMemo, "b's note");
    EXPECT_EQ(b.Records(), a.Records());
    EXPECT_EQ(OnServer(dav, url), a.Records());
    ASSERT_EQ(report.conflicts.size(), 1u);
    EXPECT_TRUE(report.Describe().contains(QStringLiteral("両方で変更された連絡先が 1 件"))) << report.Describe().toStdString();
}

// The server gone in the middle of the writes, and a card it refuses: the sync says so,
// and the next one finishes the work with nothing doubled or lost.
TEST_F(BookSyncTest, ASyncThatFailsMidwayIsFinishedByTheNext) {
    Book book(dir, "book.mrl");
    for (int i = 0; i < 40; ++i)
        book.Add({"name" + std::to_string(i), "", std::to_string(i), ""});
    bool bKilled = false;
    const QString error = book.Sync(dav, url, nullptr, [&](const QString& step) {
        if (!bKilled && step.contains(QStringLiteral("送りました"))) {
            bKilled = true;
            server.Kill();
        }
    });
    EXPECT_TRUE(error.contains(QStringLiteral("接続できません"))) << error.toStdString();
    server.Start();
    ASSERT_TRUE(server.Failure().isEmpty());
    ASSERT_EQ(book.Sync(dav, url), "");
    EXPECT_EQ(OnServer(dav, url), book.Records());
    EXPECT_EQ(book.Records().size(), 40u);
}

TEST(BookSyncQuota, ACardTheServerRefusesIsToldAndTheRestArrive) {
    NeedCoreApplication();
    Radicale server(false, 20000);
    ASSERT_TRUE(server.Failure().isEmpty()) << server.Failure().toStdString();
    const QUrl url = server.MakeAddressBook("office");
    DavClient dav("alice", "secret");
    QTemporaryDir dir;
    Book book(dir, "book.mrl");
    book.Add(kTanaka);
    book.Add({"big", "", "", std::string(30000, 'x')});
    // The server answers 413, or closes the connection before the card is sent.
    EXPECT_FALSE(book.Sync(dav, url).isEmpty());
    EXPECT_EQ(OnServer(dav, url), std::vector<PhoneRecord>{kTanaka});
    book.Change("big", [](PhoneRecord& r) { r.m_strMemo = "small now"; });
    ASSERT_EQ(book.Sync(dav, url), "");
    EXPECT_EQ(OnServer(dav, url), book.Records());
}

#ifdef MARLO_CLI_PATH
// marlo-cli killed with SIGKILL while it sends, then run again: every entry on the
// server once.
TEST_F(BookSyncTest, MarloCliKilledDuringASyncLeavesNothingDoubledOrLost) {
    const std::string path = dir.filePath("cli.mrl").toStdString();
    {
        Book made(dir, "cli.mrl");
        for (int i = 0; i < 300; ++i)
            made.Add({"entry" + std::to_string(i), "", std::to_string(i), ""});
        ASSERT_TRUE(made.Doc().OnSaveDocument(path));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MARLO_DAV_PASSWORD", "secret");
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    const QStringList args{"-f", QString::fromStdString(path), "sync", "--url", url.toString(), "--user", "alice"};
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.start(MARLO_CLI_PATH, args);
    ASSERT_TRUE(cli.waitForStarted());
    // Killed once the first cards are on the server.
    for (int i = 0; i < 400 && Cards(dav, url).size() < 20; ++i)
        QThread::msleep(25);
    cli.kill();
    cli.waitForFinished();
    const std::size_t nBefore = Cards(dav, url).size();
    EXPECT_GT(nBefore, 0u);
    EXPECT_LT(nBefore, 300u) << "the sync ended before the kill";

    cli.start(MARLO_CLI_PATH, args);
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    Book after(dir, "cli.mrl");
    after.Doc().OnOpenDocument(path);
    EXPECT_EQ(OnServer(dav, url), after.Records());
    EXPECT_EQ(after.Records().size(), 300u);
}
#endif
