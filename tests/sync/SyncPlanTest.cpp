#include "sync/BookSync.h"
#include "sync/SyncPlan.h"
#include "sync/SyncState.h"

#include "../TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

// The server as the plan sees it: cards by href, each version a new ETag.
struct Server {
    std::map<QString, std::pair<QByteArray, PhoneRecord>> cards;
    int nVersion = 0;
    QByteArray Write(const QString& href, const PhoneRecord& record) {
        const QByteArray etag = QByteArray::number(++nVersion);
        cards[href] = {etag, record};
        return etag;
    }
};

// One copy of the book and the links it keeps, synced as the program syncs: the
// changes found by comparing ETags, the plan applied to both sides, a write over a
// version no longer there refused.
struct Replica {
    std::vector<PhoneRecord> book;
    std::vector<SyncLink> links;
    int nNext = 0;
    QString name;
    std::vector<std::pair<PhoneRecord, PhoneRecord>> conflicts;

    // Where a sync may stop, as a kill would stop it: after the book is saved, after the
    // state with the links still to confirm is written, after the writes to the server.
    enum class Stop { Never, AfterBook, AfterPending, AfterWrites };

    SyncPlan Sync(Server& server, Stop stop = Stop::Never) {
        std::vector<ServerChange> changes;
        std::map<QString, QByteArray> known;
        for (const SyncLink& link : links)
            known[link.href] = link.etag;
        for (const auto& [href, card] : server.cards)
            if (!known.contains(href) || known[href] != card.first)
                changes.push_back({href, card.first, {}, card.second});
        for (const auto& [href, etag] : known)
            if (!server.cards.contains(href))
                changes.push_back({href, {}, {}, std::nullopt});
        SyncPlan plan = PlanSync(book, links, changes, [this] { return name + QString::number(nNext++); });
        for (const PhoneRecord& record : plan.removeLocal)
            book.erase(std::find(book.begin(), book.end(), record));
        book.insert(book.end(), plan.addLocal.begin(), plan.addLocal.end());
        if (stop == Stop::AfterBook)
            return plan;
        links = plan.links;
        for (const SyncPlan::Upload& upload : plan.uploads)
            links.push_back(upload.over);
        links.insert(links.end(), plan.deletes.begin(), plan.deletes.end());
        if (stop == Stop::AfterPending)
            return plan;
        const std::vector<SyncLink> pending = links;
        links = plan.links;
        for (const SyncPlan::Upload& upload : plan.uploads) {
            const auto it = server.cards.find(upload.over.href);
            const bool bFits = upload.over.etag.isEmpty() ? it == server.cards.end()
                                                          : it != server.cards.end() && it->second.first == upload.over.etag;
            if (bFits)
                links.push_back({upload.over.href, server.Write(upload.over.href, upload.record), {}, upload.record});
            else if (!upload.over.etag.isEmpty())
                links.push_back(upload.over); // refused: the next sync sees the server's version
        }
        for (const SyncLink& gone : plan.deletes) {
            const auto it = server.cards.find(gone.href);
            if (it != server.cards.end() && it->second.first == gone.etag)
                server.cards.erase(it);
            else
                links.push_back(gone);
        }
        if (stop == Stop::AfterWrites)
            links = pending;
        conflicts.insert(conflicts.end(), plan.conflicts.begin(), plan.conflicts.end());
        return plan;
    }
};

std::vector<PhoneRecord> Sorted(std::vector<PhoneRecord> records) {
    std::sort(records.begin(), records.end(), [](const PhoneRecord& a, const PhoneRecord& b) {
        return std::tie(a.m_strRomaji, a.m_strKanji, a.m_strPhone, a.m_strMemo) <
               std::tie(b.m_strRomaji, b.m_strKanji, b.m_strPhone, b.m_strMemo);
    });
    return records;
}

std::vector<PhoneRecord> OnServer(const Server& server) {
    std::vector<PhoneRecord> records;
    for (const auto& [href, card] : server.cards)
        records.push_back(card.second);
    return Sorted(records);
}

// Random edits on two copies and on the server between syncs, and syncs killed midway:
// after each round both copies equal the server, every entry a copy changed or added since the last round
// is there, and a sync with nothing changed does nothing.
TEST(SyncPlan, TwoCopiesAndTheServerAgreeAndNoChangeIsLost) {
    std::mt19937 random(20261210);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const char* names[] = {"abe", "sato", "tanaka", "ito"};
    int nText = 0;
    const auto text = [&] { return std::to_string(nText++); };
    Server server;
    Replica a{{}, {}, 0, "a", {}}, b{{}, {}, 0, "b", {}};
    for (int round = 0; round < 300; ++round) {
        std::vector<PhoneRecord> made; // entries the copies added or changed this round: none may be lost
        for (Replica* replica : {&a, &b}) {
            std::vector<PhoneRecord>& book = replica->book;
            const std::vector<PhoneRecord> before = book;
            for (int edit = 0, edits = static_cast<int>(pick(4)); edit < edits; ++edit) {
                if (book.empty() || pick(3) == 0)
                    book.push_back({names[pick(4)], text(), pick(2) ? text() : "", ""});
                else if (pick(2) == 0)
                    book.erase(book.begin() + static_cast<std::ptrdiff_t>(pick(book.size())));
                else
                    book[pick(book.size())].m_strMemo = text();
            }
            for (const PhoneRecord& record : book)
                if (std::find(before.begin(), before.end(), record) == before.end())
                    made.push_back(record);
        }
        // Another program edits the server: a change, a removal.
        if (!server.cards.empty() && pick(3) == 0) {
            auto it = std::next(server.cards.begin(), static_cast<std::ptrdiff_t>(pick(server.cards.size())));
            if (pick(2) == 0)
                server.cards.erase(it);
            else
                server.Write(it->first, {pick(2) ? it->second.second.m_strRomaji : names[pick(4)], text(), "", ""});
        }
        // Now and then a sync is killed midway; the next one finishes its work.
        const auto maybeKilled = [&] {
            if (pick(4) == 0)
                (pick(2) ? a : b).Sync(server, static_cast<Replica::Stop>(1 + pick(3)));
        };
        maybeKilled();
        a.Sync(server);
        b.Sync(server);
        maybeKilled();
        a.Sync(server);
        b.Sync(server);
        a.Sync(server);
        const std::vector<PhoneRecord> truth = OnServer(server);
        ASSERT_EQ(Sorted(a.book), truth) << "round " << round;
        ASSERT_EQ(Sorted(b.book), truth) << "round " << round;
        // Every text is made once: an entry twice is an entry doubled.
        ASSERT_EQ(std::adjacent_find(truth.begin(), truth.end()), truth.end()) << "round " << round;
        for (const PhoneRecord& record : made)
            EXPECT_EQ(std::count(a.book.begin(), a.book.end(), record), 1) << "round " << round << ": " << record.m_strKanji;
        const SyncPlan idle = b.Sync(server);
        ASSERT_TRUE(idle.uploads.empty() && idle.deletes.empty() && idle.addLocal.empty() && idle.removeLocal.empty())
            << "round " << round;
    }
    EXPECT_FALSE(a.conflicts.empty() && b.conflicts.empty()); // the rounds did reach both-sides changes
}

} // namespace

namespace {

// The state comes back byte for byte; a damaged one is an error, never an empty state
// (from which every entry would look new and go up twice).
TEST(SyncState, ComesBackByteForByteAndADamagedOneIsRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath("state/book.json");
    SyncState state, back;
    QString error;
    ASSERT_TRUE(LoadSyncState(path, back, error)); // none yet: before the first sync
    EXPECT_EQ(back, SyncState{});
    state.token = "http://radicale.org/ns/sync/1";
    state.links.push_back({"/alice/office/x.vcf", "\"1\"", "BEGIN:VCARD\r\nFN:\xE7\x94\xB0\r\nEND:VCARD\r\n",
                           {"tanaka", "\x93\x63\x92\x86", std::string("0\x00\xFF", 3), "a\r\nb"}});
    ASSERT_TRUE(SaveSyncState(path, state, error)) << error.toStdString();
    ASSERT_TRUE(LoadSyncState(path, back, error));
    EXPECT_EQ(back, state);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray bytes = file.readAll();
    file.resize(bytes.size() / 2);
    file.close();
    EXPECT_FALSE(LoadSyncState(path, back, error));
    EXPECT_TRUE(error.contains(QStringLiteral("壊れています")));
    EXPECT_TRUE(back.links.empty());
}

} // namespace

// The window and marlo-cli name one book's file in different ways: they share its state.
TEST(SyncState, OneBookOneStateHoweverItsPathIsWritten) {
    const QUrl book("https://dav.example.jp/alice/office/");
    const QString state = SyncStatePath("book.mrl", book, "alice");
    EXPECT_EQ(SyncStatePath("./book.mrl", book, "alice"), state);
    EXPECT_EQ(SyncStatePath(QDir::currentPath().toStdString() + "/sub/../book.mrl", book, "alice"), state);
    EXPECT_NE(SyncStatePath("book.mrl", book, "bob"), state);
    EXPECT_NE(SyncStatePath("other.mrl", book, "alice"), state);
}
