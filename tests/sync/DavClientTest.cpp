#include "sync/DavClient.h"
#include "Radicale.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Status = std::tuple<DavError, DavMultistatus>;

Status SyncFrom(DavClient& dav, const QUrl& book, const QByteArray& token) {
    return DavAwait<DavError, DavMultistatus>([&](auto done) { dav.SyncCollection(book, token, done); });
}

std::tuple<DavError, QByteArray> Put(DavClient& dav, const QUrl& url, const QByteArray& card, const QByteArray& ifMatch) {
    return DavAwait<DavError, QByteArray>([&](auto done) { dav.Put(url, card, ifMatch, done); });
}

DavError Delete(DavClient& dav, const QUrl& url, const QByteArray& ifMatch) {
    return std::get<0>(DavAwait<DavError>([&](auto done) { dav.Delete(url, ifMatch, done); }));
}

std::tuple<DavError, std::vector<DavAddressBook>> Discover(DavClient& dav, const QUrl& url) {
    return DavAwait<DavError, std::vector<DavAddressBook>>([&](auto done) { dav.Discover(url, done); });
}

QByteArray Card(const char* uid, const char* name) {
    return QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:") + uid + "\r\nFN:" + name + "\r\nN:" + name +
           ";;;;\r\nEND:VCARD\r\n";
}

class DavClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        NeedCoreApplication();
        ASSERT_TRUE(server.Failure().isEmpty()) << server.Failure().toStdString();
    }
    Radicale server;
};

TEST_F(DavClientTest, FindsTheAddressBooksFromTheHostOrTheBook) {
    const QUrl office = server.MakeAddressBook("office");
    server.MakeAddressBook("family");
    DavClient dav("alice", "secret");
    auto [error, books] = Discover(dav, server.Root());
    ASSERT_FALSE(error) << error.message.toStdString();
    ASSERT_EQ(books.size(), 2u);
    std::vector<QString> names{books[0].name, books[1].name};
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<QString>{"family", "office"}));
    // An address book's own URL is the one book.
    std::tie(error, books) = Discover(dav, office);
    ASSERT_FALSE(error) << error.message.toStdString();
    ASSERT_EQ(books.size(), 1u);
    EXPECT_EQ(books[0].url, office);
}

TEST_F(DavClientTest, WritesOnlyOverTheVersionItRead) {
    const QUrl book = server.MakeAddressBook("office");
    DavClient dav("alice", "secret");
    const QUrl url = DavClient::Resolve(book, "tanaka.vcf");

    auto [error, etag] = Put(dav, url, Card("t1", "Tanaka"), {});
    ASSERT_FALSE(error) << error.message.toStdString();
    // A second new card at the same place is refused, not written over the first.
    EXPECT_EQ(std::get<0>(Put(dav, url, Card("t1", "Other"), {})).kind, DavError::Kind::Conflict);

    auto [syncError, all] = SyncFrom(dav, book, {});
    ASSERT_FALSE(syncError) << syncError.message.toStdString();
    ASSERT_EQ(all.resources.size(), 1u);
    EXPECT_FALSE(all.syncToken.isEmpty());
    EXPECT_TRUE(all.resources[0].href.endsWith("/tanaka.vcf"));
    const QByteArray firstEtag = all.resources[0].etag;
    if (!etag.isEmpty()) {
        EXPECT_EQ(etag, firstEtag);
    }

    const QString href = all.resources[0].href; // a structured binding cannot be captured by clang 14
    auto [getError, got] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.Multiget(book, {href}, done); });
    ASSERT_FALSE(getError);
    ASSERT_EQ(got.resources.size(), 1u);
    EXPECT_TRUE(got.resources[0].addressData.contains("FN:Tanaka"));

    // A change over the version read; then one over that stale version is a conflict.
    ASSERT_FALSE(std::get<0>(Put(dav, url, Card("t1", "Tanaka Ichiro"), firstEtag)));
    EXPECT_EQ(std::get<0>(Put(dav, url, Card("t1", "Lost"), firstEtag)).kind, DavError::Kind::Conflict);
    EXPECT_EQ(Delete(dav, url, firstEtag).kind, DavError::Kind::Conflict);

    // Since the token: only the change.
    auto [changeError, changes] = SyncFrom(dav, book, all.syncToken);
    ASSERT_FALSE(changeError);
    ASSERT_EQ(changes.resources.size(), 1u);
    EXPECT_NE(changes.resources[0].etag, firstEtag);
    EXPECT_EQ(changes.resources[0].nStatus, 200);

    ASSERT_FALSE(Delete(dav, url, changes.resources[0].etag));
    auto [goneError, gone] = SyncFrom(dav, book, changes.syncToken);
    ASSERT_FALSE(goneError);
    ASSERT_EQ(gone.resources.size(), 1u);
    EXPECT_EQ(gone.resources[0].nStatus, 404);
    auto [listError, listed] = DavAwait<DavError, DavMultistatus>([&](auto done) { dav.ListEtags(book, done); });
    ASSERT_FALSE(listError);
    for (const DavResource& resource : listed.resources)
        EXPECT_FALSE(resource.href.endsWith(".vcf")) << resource.href.toStdString();
}

TEST_F(DavClientTest, RefusalsSayWhyAndNeverNameThePassword) {
    server.MakeAddressBook("office");
    DavClient wrong("alice", "wrong-secret");
    auto [error, books] = Discover(wrong, server.Root());
    EXPECT_EQ(error.kind, DavError::Kind::Password);
    EXPECT_FALSE(error.message.contains("wrong-secret"));

    // Plain http only within this computer: nothing is sent elsewhere.
    DavClient dav("alice", "secret");
    std::tie(error, books) = Discover(dav, QUrl("http://192.0.2.1/dav/"));
    EXPECT_EQ(error.kind, DavError::Kind::Insecure);

    std::tie(error, books) = Discover(dav, server.Root().resolved(QUrl("/alice/nothing-here/")));
    EXPECT_TRUE(error.kind == DavError::Kind::NotAddressBook || error.kind == DavError::Kind::Server)
        << error.message.toStdString();

    server.Kill();
    std::tie(error, books) = Discover(dav, server.Root());
    EXPECT_EQ(error.kind, DavError::Kind::Unreachable);
}

TEST(DavClientTls, ACertificateThatDoesNotVerifyIsRefusedUnlessTrusted) {
    NeedCoreApplication();
    Radicale server(true);
    ASSERT_TRUE(server.Failure().isEmpty()) << server.Failure().toStdString();
    server.MakeAddressBook("office");
    DavClient dav("alice", "secret");
    auto [error, books] = Discover(dav, server.Root());
    EXPECT_EQ(error.kind, DavError::Kind::Certificate);
    EXPECT_FALSE(error.message.isEmpty());
    EXPECT_EQ(error.certificate, server.CertificateDigest()); // what the user is shown to trust

    dav.TrustCertificate(server.CertificateDigest());
    std::tie(error, books) = Discover(dav, server.Root());
    ASSERT_FALSE(error) << error.message.toStdString();
    EXPECT_EQ(books.size(), 1u);
}

} // namespace
