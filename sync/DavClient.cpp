#include "DavClient.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslError>
#include <memory>

namespace {

constexpr int kMaxRedirects = 5;

bool IsLoopback(const QUrl& url) {
    const QString host = url.host();
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback();
}

DavError Error(DavError::Kind kind, QString message, int nStatus = 0) {
    return {kind, nStatus, std::move(message), {}};
}

// The error a failing status stands for.
DavError StatusError(int nStatus, const QUrl& url) {
    switch (nStatus) {
    case 401:
        return Error(DavError::Kind::Password, QStringLiteral("ユーザー名またはパスワードが違います。"), nStatus);
    case 412:
        return Error(DavError::Kind::Conflict, QStringLiteral("連絡先はサーバーでほかから変更されています。"), nStatus);
    case 413:
    case 507:
        return Error(DavError::Kind::Quota, QStringLiteral("サーバーの容量が足りません。"), nStatus);
    default:
        return Error(DavError::Kind::Server,
                     QStringLiteral("サーバー %1 がエラー %2 を返しました。").arg(url.host()).arg(nStatus), nStatus);
    }
}

} // namespace

DavClient::DavClient(QString user, QString password)
    : m_authorization("Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64()) {
    // Redirects are followed here, with the same method and body: the toolkit's own
    // would turn a PROPFIND into a GET.
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

void DavClient::Send(const QByteArray& verb, const QUrl& url, const QByteArray& depth, const QByteArray& body,
                     const std::vector<std::pair<QByteArray, QByteArray>>& headers, AnswerFn done, int nRedirects) {
    if (url.scheme() != QLatin1String("https") && !(url.scheme() == QLatin1String("http") && IsLoopback(url))) {
        done(Error(DavError::Kind::Insecure,
                   QStringLiteral("%1 は暗号化されていないアドレスです。https のアドレスを指定してください"
                                  " (http はこのコンピューターの中のサーバーにだけ使えます)。")
                       .arg(url.toString(QUrl::RemoveUserInfo | QUrl::RemoveQuery))),
             {});
        return;
    }
    QNetworkRequest request(url);
    request.setRawHeader("Authorization", m_authorization);
    if (!body.isEmpty())
        request.setHeader(QNetworkRequest::ContentTypeHeader, verb == "PUT" ? QByteArray("text/vcard; charset=utf-8")
                                                                             : QByteArray("application/xml; charset=utf-8"));
    if (!depth.isEmpty())
        request.setRawHeader("Depth", depth);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply* reply = m_network.sendCustomRequest(request, verb, body);
    auto certificateError = std::make_shared<DavError>();
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [this, reply, url, certificateError](const QList<QSslError>& errors) {
        const QByteArray digest =
            QCryptographicHash::hash(reply->sslConfiguration().peerCertificate().toDer(), QCryptographicHash::Sha256);
        if (!m_trustedCertificate.isEmpty() && digest == m_trustedCertificate) {
            reply->ignoreSslErrors(errors);
            return;
        }
        QStringList reasons;
        for (const QSslError& error : errors)
            reasons << error.errorString();
        *certificateError = Error(DavError::Kind::Certificate,
                                  QStringLiteral("サーバー %1 の証明書を確認できないため、接続しませんでした: %2")
                                      .arg(url.host(), reasons.join(QStringLiteral(", "))));
        certificateError->certificate = digest;
    });
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [this, reply, verb, url, depth, body, headers, done = std::move(done), nRedirects,
                      certificateError]() mutable {
                         reply->deleteLater();
                         const int nStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
                         if (*certificateError) {
                             done(std::move(*certificateError), {});
                             return;
                         }
                         if (nStatus == 0) {
                             done(Error(DavError::Kind::Unreachable,
                                        QStringLiteral("サーバー %1 に接続できません: %2").arg(url.host(), reply->errorString())),
                                  {});
                             return;
                         }
                         if (nStatus / 100 == 3 && nStatus != 304) {
                             const QUrl target = url.resolved(
                                 reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
                             if (nRedirects < kMaxRedirects && target.isValid() && target.host() == url.host()) {
                                 Send(verb, target, depth, body, headers, std::move(done), nRedirects + 1);
                                 return;
                             }
                         }
                         Answer answer{nStatus, reply->readAll(), reply->rawHeader("ETag"), url};
                         done(nStatus / 100 == 2 ? DavError{} : StatusError(nStatus, url), std::move(answer));
                     });
}

void DavClient::AbortAll() {
    for (QNetworkReply* reply : m_network.findChildren<QNetworkReply*>())
        reply->abort();
}

void DavClient::Report(const QByteArray& verb, const QUrl& url, const QByteArray& depth, const QByteArray& body,
                       std::function<void(DavError, DavMultistatus)> done) {
    Send(verb, url, depth, body, {}, [this, done = std::move(done)](DavError error, Answer answer) mutable {
        if (error)
            return done(std::move(error), {});
        // An answer listing thousands of cards takes a while to read: not on this thread.
        m_worker.Run(
            [body = std::move(answer.body), bMultistatus = answer.nStatus == 207] {
                std::pair<bool, DavMultistatus> read;
                read.first = bMultistatus && ParseMultistatus(body, read.second);
                return read;
            },
            [done = std::move(done), host = answer.url.host(), nStatus = answer.nStatus](std::pair<bool, DavMultistatus> read) {
                if (!read.first)
                    return done(Error(DavError::Kind::Answer, QStringLiteral("サーバー %1 の応答を読めません。").arg(host), nStatus), {});
                done({}, std::move(read.second));
            });
    });
}

void DavClient::Discover(const QUrl& start, std::function<void(DavError, std::vector<DavAddressBook>)> done) {
    QUrl url = start;
    if (url.path().isEmpty() || url.path() == QLatin1String("/"))
        url.setPath(QStringLiteral("/.well-known/carddav"));
    Report("PROPFIND", url, "0",
           DavBody::FindHome(),
           [this, url, done = std::move(done)](DavError error, DavMultistatus found) mutable {
               if (error) {
                   done(std::move(error), {});
                   return;
               }
               const DavResource* self = found.resources.empty() ? nullptr : &found.resources.front();
               if (self && self->bAddressBook) {
                   done({}, {{url, self->displayName}});
                   return;
               }
               if (self && !self->home.isEmpty()) {
                   FindBooks(Resolve(url, self->home), std::move(done));
                   return;
               }
               if (!self || self->principal.isEmpty()) {
                   done(Error(DavError::Kind::NotAddressBook,
                              QStringLiteral("%1 は CardDAV のアドレス帳ではありません。")
                                  .arg(url.toString(QUrl::RemoveUserInfo))),
                        {});
                   return;
               }
               const QUrl principal = Resolve(url, self->principal);
               Report("PROPFIND", principal, "0", DavBody::FindHome(),
                      [this, principal, done = std::move(done)](DavError error, DavMultistatus found) mutable {
                          if (!error && (found.resources.empty() || found.resources.front().home.isEmpty()))
                              error = Error(DavError::Kind::NotAddressBook,
                                            QStringLiteral("%1 には CardDAV のアドレス帳がありません。")
                                                .arg(principal.toString(QUrl::RemoveUserInfo)));
                          if (error) {
                              done(std::move(error), {});
                              return;
                          }
                          FindBooks(Resolve(principal, found.resources.front().home), std::move(done));
                      });
           });
}

void DavClient::FindBooks(const QUrl& home, std::function<void(DavError, std::vector<DavAddressBook>)> done) {
    Report("PROPFIND", home, "1", DavBody::ListBooks(), [home, done = std::move(done)](DavError error, DavMultistatus found) {
        std::vector<DavAddressBook> books;
        for (const DavResource& resource : found.resources)
            if (resource.bAddressBook)
                books.push_back({Resolve(home, resource.href), resource.displayName});
        if (!error && books.empty())
            error = Error(DavError::Kind::NotAddressBook,
                          QStringLiteral("%1 には CardDAV のアドレス帳がありません。").arg(home.toString(QUrl::RemoveUserInfo)));
        done(std::move(error), std::move(books));
    });
}

void DavClient::SyncCollection(const QUrl& book, const QByteArray& token,
                               std::function<void(DavError, DavMultistatus)> done) {
    Report("REPORT", book, "0", DavBody::SyncCollection(token), std::move(done));
}

void DavClient::ListEtags(const QUrl& book, std::function<void(DavError, DavMultistatus)> done) {
    Report("PROPFIND", book, "1", DavBody::ListEtags(), std::move(done));
}

void DavClient::Multiget(const QUrl& book, const std::vector<QString>& hrefs,
                         std::function<void(DavError, DavMultistatus)> done) {
    Report("REPORT", book, "1", DavBody::Multiget(hrefs), std::move(done));
}

void DavClient::Put(const QUrl& url, const QByteArray& card, const QByteArray& ifMatch,
                    std::function<void(DavError, QByteArray)> done) {
    const std::pair<QByteArray, QByteArray> precondition =
        ifMatch.isEmpty() ? std::pair{QByteArray("If-None-Match"), QByteArray("*")} : std::pair{QByteArray("If-Match"), ifMatch};
    Send("PUT", url, {}, card, {precondition}, [done = std::move(done)](DavError error, Answer answer) {
        done(std::move(error), std::move(answer.etag));
    });
}

void DavClient::Delete(const QUrl& url, const QByteArray& ifMatch, std::function<void(DavError)> done) {
    Send("DELETE", url, {}, {}, {{"If-Match", ifMatch}}, [done = std::move(done)](DavError error, Answer answer) {
        done(answer.nStatus == 404 ? DavError{} : std::move(error));
    });
}
