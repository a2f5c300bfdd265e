#pragma once
// Talks CardDAV (RFC 6352) to one server: finds the user's address books, lists
// what changed, fetches cards, and writes and deletes them under ETag preconditions.
// Every request is asynchronous: each operation calls its completion handler once,
// from the event loop, when the answer is in.

#include "DavXml.h"
#include "Worker.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <QEventLoop>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

class QNetworkReply;

/// Why a request failed, with a message for the user. Never names the password.
struct DavError {
    enum class Kind {
        None,
        Insecure,       // http to a server that is not this computer
        Unreachable,    // no connection, a timeout, a name that does not resolve
        Certificate,    // the server's certificate does not verify
        Password,       // 401: user name or password wrong
        NotAddressBook, // the address is no CardDAV address book, nor leads to one
        Conflict,       // 412: the card changed on the server since it was read
        Quota,          // 507 or 413: the server has no room for it
        Server,         // any other failing status
        Answer,         // an answer that cannot be read
    };
    Kind kind = Kind::None;
    int nStatus = 0; // the HTTP status, when there was one
    QString message;
    QByteArray certificate; // Certificate: the SHA-256 digest of the refused certificate's DER bytes
    explicit operator bool() const noexcept { return kind != Kind::None; }
};

/// An address book the user can sync with.
struct DavAddressBook {
    QUrl url;
    QString name;
};

class DavClient {
public:
    DavClient(QString user, QString password);
    DavClient(const DavClient&) = delete;
    DavClient& operator=(const DavClient&) = delete;

    /// A certificate the user chose to trust although it does not verify, by the SHA-256
    /// digest of its DER bytes; empty for none.
    void TrustCertificate(QByteArray sha256) { m_trustedCertificate = std::move(sha256); }

    /// The address books at `start`: the address book itself when it is one, else those
    /// of the user's home found from there (a bare host is asked at /.well-known/carddav).
    void Discover(const QUrl& start, std::function<void(DavError, std::vector<DavAddressBook>)> done);
    /// The cards changed and removed since `token` (empty: every card), ETags without
    /// cards, and the new token. A server without sync tokens, or one that no longer
    /// knows `token`, answers with an error: list the ETags then.
    void SyncCollection(const QUrl& book, const QByteArray& token, std::function<void(DavError, DavMultistatus)> done);
    /// Every card's href and ETag.
    void ListEtags(const QUrl& book, std::function<void(DavError, DavMultistatus)> done);
    /// The cards at `hrefs` with their ETags.
    void Multiget(const QUrl& book, const std::vector<QString>& hrefs,
                  std::function<void(DavError, DavMultistatus)> done);
    /// Writes `card` at `url`: only where there is none yet when `ifMatch` is empty, else
    /// only over the version with that ETag (a Conflict error otherwise). Gives the new
    /// ETag when the server tells it.
    void Put(const QUrl& url, const QByteArray& card, const QByteArray& ifMatch,
             std::function<void(DavError, QByteArray)> done);
    /// Deletes the card at `url` if it still has the ETag `ifMatch`; one already gone counts as deleted.
    void Delete(const QUrl& url, const QByteArray& ifMatch, std::function<void(DavError)> done);

    /// Stops every request under way: each ends with an Unreachable error.
    void AbortAll();

    /// `url` resolved against the server of `base`: the hrefs servers give are paths.
    static QUrl Resolve(const QUrl& base, const QString& href) { return base.resolved(QUrl(href)); }

private:
    struct Answer {
        int nStatus = 0;
        QByteArray body;
        QByteArray etag;
        QUrl url; // where the answer came from, after redirects
    };
    using AnswerFn = std::function<void(DavError, Answer)>;
    void Send(const QByteArray& verb, const QUrl& url, const QByteArray& depth, const QByteArray& body,
              const std::vector<std::pair<QByteArray, QByteArray>>& headers, AnswerFn done, int nRedirects = 0);
    void Report(const QByteArray& verb, const QUrl& url, const QByteArray& depth, const QByteArray& body,
                std::function<void(DavError, DavMultistatus)> done);
    void FindBooks(const QUrl& url, std::function<void(DavError, std::vector<DavAddressBook>)> done);

    QNetworkAccessManager m_network;
    QByteArray m_authorization;
    QByteArray m_trustedCertificate;
    Worker m_worker; ///< reads the multistatus answers
};

/// Runs the event loop until the operation that `start` begins gives its results,
/// for callers that may wait (marlo-cli, tests).
template <class... Results, class Start> std::tuple<Results...> DavAwait(Start start) {
    std::optional<std::tuple<Results...>> got;
    QEventLoop loop;
    start([&](Results... results) {
        got.emplace(std::move(results)...);
        loop.quit();
    });
    if (!got)
        loop.exec();
    return std::move(*got);
}
