#include "BookSync.h"

#include "SyncState.h"
#include "data/MarloDoc.h"
#include "data/MrlData.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <tuple>

namespace {

constexpr std::size_t kCardsPerFetch = 250; // cards asked for in one multiget: its answer is read in a few milliseconds
constexpr int kWritesAtOnce = 6;             // the connections the network layer opens to one server
constexpr int kMaxRounds = 3;                // rounds when writes meet newer versions

const QString& Cancelled() {
    static const QString text = QStringLiteral("同期を中止しました。送り終えていない変更は次の同期で送ります。");
    return text;
}

// A card for a new entry at `href`, its UID the href's own name so that a card sent
// again after a kill is the same card.
QByteArray NewCard(const PhoneRecord& record, const QString& href) {
    std::string card;
    AppendVCard(card, record);
    QString uid = href.section(QLatin1Char('/'), -1);
    uid.chop(4); // ".vcf"
    const std::size_t afterVersion = card.find("\r\n", card.find("VERSION:")) + 2;
    card.insert(afterVersion, "UID:" + uid.toStdString() + "\r\n");
    return QByteArray::fromStdString(card);
}

QString Name(const PhoneRecord& record) {
    return Cp932ToUnicode(record.m_strKanji.empty() ? record.m_strRomaji : record.m_strKanji);
}

} // namespace

QString SyncReport::Describe() const {
    QStringList lines;
    if (nFiled || nRemoved)
        lines << QStringLiteral("サーバーからの %1 件を電話帳に入れ、%2 件を電話帳から取り除きました。").arg(nFiled).arg(nRemoved);
    if (nSent || nDeleted)
        lines << QStringLiteral("サーバーに %1 件を送り、%2 件をサーバーから削除しました。").arg(nSent).arg(nDeleted);
    if (lines.isEmpty())
        lines << QStringLiteral("変更はありませんでした。");
    if (!conflicts.empty()) {
        lines << QStringLiteral("両方で変更された連絡先が %1 件あります。どちらの版も残しました:").arg(conflicts.size());
        for (const auto& [server, book] : conflicts)
            lines << QStringLiteral("  「%1」(サーバーの版) と「%2」(この電話帳の版)").arg(Name(server), Name(book));
    }
    if (nRewritten)
        lines << QStringLiteral("サーバーが書き直して保存した %1 件を、サーバーの版に合わせました。").arg(nRewritten);
    if (nUnreadable)
        lines << QStringLiteral("サーバーの %1 件は vCard として読めないため、そのままにしました。").arg(nUnreadable);
    return lines.join(u'\n');
}

QString SyncStatePath(const std::string& bookPath, const QUrl& book, const QString& user) {
    // One state for one file, however its path is written ("book", "./book", "/home/…/book").
    const QByteArray path =
        QFile::encodeName(QDir::cleanPath(QDir::current().absoluteFilePath(QFile::decodeName(QByteArray::fromStdString(bookPath)))));
    const QByteArray key = path + '\n' + book.toString(QUrl::RemoveUserInfo).toUtf8() + '\n' + user.toUtf8();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Marlo/sync/");
    return folder + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32)) +
           QStringLiteral(".state");
}

BookSync::BookSync(CMarloDoc& doc, DavClient& dav, QUrl book, QString statePath, std::function<bool()> saveBook)
    : m_doc(doc), m_dav(dav), m_book(std::move(book)), m_statePath(std::move(statePath)), m_saveBook(std::move(saveBook)) {}

void BookSync::Start(std::function<void(QString, SyncReport)> done, std::function<void(QString)> progress) {
    m_done = std::move(done);
    m_progress = std::move(progress);
    m_report = {};
    m_nRound = 0;
    m_bCancelled = false;
    m_bFinished = false;
    Round();
}

void BookSync::Cancel() {
    m_bCancelled = true;
    m_dav.AbortAll();
}

void BookSync::Progress(const QString& text) const {
    if (m_progress)
        m_progress(text);
}

void BookSync::Round() {
    ++m_nRound;
    m_changes.clear();
    m_confirmed.clear();
    m_pending.clear();
    m_sent.clear();
    m_toFetch.clear();
    m_nFetched = 0;
    m_bRetry = false;
    m_writeError.clear();
    Progress(QStringLiteral("サーバーの変更を確かめています…"));
    m_worker.Run(
        [path = m_statePath] {
            std::tuple<bool, SyncState, QString> read;
            std::get<0>(read) = LoadSyncState(path, std::get<1>(read), std::get<2>(read));
            return read;
        },
        [this](std::tuple<bool, SyncState, QString> read) {
            if (!std::get<0>(read))
                return Finish(std::get<2>(read));
            m_links = std::move(std::get<1>(read).links);
            m_token = std::move(std::get<1>(read).token);
            m_dav.SyncCollection(m_book, m_token, [this](DavError error, DavMultistatus listing) {
                if (!m_bCancelled && (error.kind == DavError::Kind::Server || error.kind == DavError::Kind::Answer)) {
                    // A server without sync tokens, or one that no longer knows ours: every
                    // card's ETag is compared with the links'.
                    m_dav.ListEtags(m_book, [this](DavError error, DavMultistatus all) {
                        all.syncToken.clear();
                        Listed(std::move(error), std::move(all), true);
                    });
                    return;
                }
                Listed(std::move(error), std::move(listing), m_token.isEmpty());
            });
        });
}

void BookSync::Listed(DavError error, DavMultistatus listing, bool bFull) {
    if (m_bCancelled)
        return Finish(Cancelled());
    m_report.bPasswordRefused = error.kind == DavError::Kind::Password;
    if (error)
        return Finish(error.message);
    m_newToken = listing.syncToken;
    QHash<QString, QByteArray> linked;
    for (const SyncLink& link : m_links)
        linked.insert(link.href, link.etag);
    QSet<QString> listed;
    for (const DavResource& resource : listing.resources) {
        if (resource.href.endsWith(u'/')) // the address book itself
            continue;
        if (resource.nStatus == 404) {
            if (linked.contains(resource.href))
                m_changes.push_back({resource.href, {}, {}, std::nullopt});
            continue;
        }
        listed.insert(resource.href);
        const auto known = linked.constFind(resource.href);
        if (known == linked.cend() || *known != resource.etag)
            m_toFetch.push_back(resource.href);
    }
    // A full listing names every card: a linked card it does not name was removed.
    if (bFull)
        for (const SyncLink& link : m_links)
            if (!listed.contains(link.href))
                m_changes.push_back({link.href, {}, {}, std::nullopt});
    Fetch();
}

void BookSync::Fetch() {
    // The next batch is asked for while the last is mapped to entries.
    if (m_bFetching)
        return;
    if (m_nFetched >= m_toFetch.size()) {
        if (m_nMapping == 0)
            Plan();
        return;
    }
    Progress(QStringLiteral("サーバーから %1 / %2 件を受け取っています…").arg(m_nFetched).arg(m_toFetch.size()));
    const std::size_t n = std::min(kCardsPerFetch, m_toFetch.size() - m_nFetched);
    const std::vector<QString> batch(m_toFetch.begin() + static_cast<std::ptrdiff_t>(m_nFetched),
                                     m_toFetch.begin() + static_cast<std::ptrdiff_t>(m_nFetched + n));
    m_nFetched += n;
    m_bFetching = true;
    m_dav.Multiget(m_book, batch, [this](DavError error, DavMultistatus got) {
        m_bFetching = false;
        if (m_bCancelled)
            return Finish(Cancelled());
        if (error)
            return Finish(error.message);
        ++m_nMapping;
        m_worker.Run(
            [resources = std::move(got.resources)]() mutable {
                std::pair<std::vector<ServerChange>, int> mapped{{}, 0};
                for (DavResource& resource : resources) {
                    if (resource.nStatus == 404) { // removed since it was listed
                        mapped.first.push_back({resource.href, {}, {}, std::nullopt});
                        continue;
                    }
                    if (resource.addressData.isEmpty())
                        continue;
                    std::optional<PhoneRecord> record = EntryOfVCard(resource.addressData.toStdString());
                    if (!record)
                        ++mapped.second;
                    else
                        mapped.first.push_back({resource.href, resource.etag, std::move(resource.addressData), std::move(record)});
                }
                return mapped;
            },
            [this](std::pair<std::vector<ServerChange>, int> mapped) {
                --m_nMapping;
                m_changes.insert(m_changes.end(), std::make_move_iterator(mapped.first.begin()),
                                 std::make_move_iterator(mapped.first.end()));
                m_report.nUnreadable += mapped.second;
                if (m_bCancelled) {
                    if (m_nMapping == 0 && !m_bFetching)
                        Finish(Cancelled());
                    return;
                }
                Fetch();
            });
        Fetch();
    });
}

void BookSync::Plan() {
    std::vector<PhoneRecord> book;
    const RecordList& list = m_doc.m_pData->m_list;
    book.reserve(list.GetCount());
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        book.push_back(list[i].ToRecord());
    QString folder = m_book.path();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    m_bStateChanged = !m_changes.empty(); // a card the server changed is linked anew
    // Edits made in the window from here on are not in the plan: they go up next time.
    m_worker.Run(
        [book = std::move(book), links = std::move(m_links), changes = std::move(m_changes), folder] {
            return PlanSync(book, links, changes, [&folder] {
                return folder + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".vcf");
            });
        },
        [this](SyncPlan plan) { Apply(std::move(plan)); });
}

void BookSync::Apply(SyncPlan plan) {
    if (m_bCancelled)
        return Finish(Cancelled());
    // The book first, saved: the state must never name an entry the file does not hold.
    for (const PhoneRecord& record : plan.removeLocal)
        if (const std::optional<std::size_t> at = m_doc.FindEntry(record))
            m_doc.RemoveEntry(*at);
    if (!plan.addLocal.empty()) {
        RecordList filed;
        filed.Assign(plan.addLocal);
        m_doc.AddEntries(filed);
    }
    m_report.nFiled += static_cast<int>(plan.addLocal.size());
    m_report.nRemoved += static_cast<int>(plan.removeLocal.size());
    m_report.conflicts.insert(m_report.conflicts.end(), plan.conflicts.begin(), plan.conflicts.end());
    if (!plan.removeLocal.empty() || !plan.addLocal.empty() || m_doc.IsModified()) {
        Progress(QStringLiteral("電話帳を保存しています…"));
        if (!m_saveBook())
            return Finish(QStringLiteral("電話帳を保存できないため、同期を中止しました。サーバーには何も送っていません。"));
    }
    m_confirmed = std::move(plan.links);
    m_uploads = std::move(plan.uploads);
    m_deletes = std::move(plan.deletes);
    m_bStateChanged = m_bStateChanged || m_newToken != m_token || !m_uploads.empty() || !m_deletes.empty();
    if (m_uploads.empty() && m_deletes.empty())
        return Confirm();
    // Then the state with every write still to be answered, so that a sync killed while
    // writing sends again what did not arrive and takes what did.
    SyncState pending{m_newToken, m_confirmed};
    for (const SyncPlan::Upload& upload : m_uploads)
        pending.links.push_back(upload.over);
    pending.links.insert(pending.links.end(), m_deletes.begin(), m_deletes.end());
    m_worker.Run(
        [path = m_statePath, pending = std::move(pending)] {
            QString error;
            SaveSyncState(path, pending, error);
            return error;
        },
        [this](const QString& error) {
            if (!error.isEmpty())
                return Finish(error);
            Send();
        });
}

void BookSync::Send() {
    m_nNextWrite = 0;
    m_nInFlight = 0;
    if (m_uploads.empty() && m_deletes.empty())
        return Confirm();
    for (int i = 0; i < kWritesAtOnce; ++i)
        SendNext();
}

void BookSync::SendNext() {
    const std::size_t total = m_uploads.size() + m_deletes.size();
    if (m_bCancelled || m_nNextWrite >= total) {
        // Writes not begun stay pending, as the state on disk already says.
        for (; m_bCancelled && m_nNextWrite < total; ++m_nNextWrite)
            m_pending.push_back(m_nNextWrite < m_uploads.size() ? m_uploads[m_nNextWrite].over
                                                                : m_deletes[m_nNextWrite - m_uploads.size()]);
        if (m_nInFlight == 0)
            Confirm();
        return;
    }
    const std::size_t k = m_nNextWrite++;
    ++m_nInFlight;
    const auto failed = [this](const DavError& error, const SyncLink& link) {
        m_pending.push_back(link);
        if (error.kind == DavError::Kind::Conflict)
            m_bRetry = true; // the next round reads the newer version first
        else if (m_writeError.isEmpty() && !m_bCancelled)
            m_writeError = error.message;
    };
    if (k < m_uploads.size()) {
        const SyncPlan::Upload& upload = m_uploads[k];
        const QByteArray card = upload.over.card.isEmpty()
                                    ? NewCard(upload.record, upload.over.href)
                                    : QByteArray::fromStdString(PatchVCard(upload.over.card.toStdString(), upload.record));
        m_dav.Put(DavClient::Resolve(m_book, upload.over.href), card, upload.over.etag,
                  [this, k, card, failed](DavError error, QByteArray etag) {
                      --m_nInFlight;
                      const SyncPlan::Upload& upload = m_uploads[k];
                      if (error) {
                          failed(error, upload.over);
                      } else {
                          // A server that tells no ETag lists the card as changed next time,
                          // and the link takes its version then.
                          m_sent.push_back(m_confirmed.size());
                          m_confirmed.push_back({upload.over.href, etag, card, upload.record});
                          ++m_report.nSent;
                      }
                      Progress(QStringLiteral("サーバーに %1 / %2 件を送りました…")
                                   .arg(m_nNextWrite - static_cast<std::size_t>(m_nInFlight))
                                   .arg(m_uploads.size() + m_deletes.size()));
                      SendNext();
                  });
    } else {
        const SyncLink& gone = m_deletes[k - m_uploads.size()];
        m_dav.Delete(DavClient::Resolve(m_book, gone.href), gone.etag, [this, k, failed](DavError error) {
            --m_nInFlight;
            if (error)
                failed(error, m_deletes[k - m_uploads.size()]);
            else
                ++m_report.nDeleted;
            SendNext();
        });
    }
}

void BookSync::Confirm() {
    if (!m_sent.empty() && !m_bCancelled)
        return Echo();
    const auto next = [this](const QString& error) {
        if (!error.isEmpty())
            return Finish(error);
        if (m_bCancelled)
            return Finish(Cancelled());
        if (!m_writeError.isEmpty())
            return Finish(m_writeError + QStringLiteral(" 送れなかった変更は次の同期で送ります。"));
        if (m_bRetry && m_nRound < kMaxRounds)
            return Round();
        Finish({});
    };
    if (!m_bStateChanged) // nothing came and nothing went: the state on disk stands
        return next({});
    SyncState state{m_newToken, std::move(m_confirmed)};
    state.links.insert(state.links.end(), m_pending.begin(), m_pending.end());
    m_worker.Run(
        [path = m_statePath, state = std::move(state)] {
            QString error;
            SaveSyncState(path, state, error);
            return error;
        },
        next);
}

void BookSync::Echo() {
    // A server may store a card otherwise than it was sent (Radicale orders the
    // properties by name, which moves the memo's lines): the cards sent are read back,
    // and an entry whose card now reads otherwise takes the server's version, so that
    // every book linked to the address book holds the same entries.
    std::vector<QString> hrefs;
    const std::size_t n = std::min(kCardsPerFetch, m_sent.size());
    for (std::size_t i = 0; i < n; ++i)
        hrefs.push_back(m_confirmed[m_sent[i]].href);
    std::vector<std::size_t> batch(m_sent.begin(), m_sent.begin() + static_cast<std::ptrdiff_t>(n));
    m_sent.erase(m_sent.begin(), m_sent.begin() + static_cast<std::ptrdiff_t>(n));
    Progress(QStringLiteral("サーバーに送った連絡先を確かめています…"));
    m_dav.Multiget(m_book, hrefs, [this, batch = std::move(batch)](DavError error, DavMultistatus got) mutable {
        if (error) { // the links stand as sent; a version the server made comes in next time
            m_sent.clear();
            return Confirm();
        }
        m_worker.Run(
            [resources = std::move(got.resources)]() mutable {
                std::vector<ServerChange> read;
                for (DavResource& resource : resources)
                    if (!resource.addressData.isEmpty())
                        read.push_back({resource.href, resource.etag, resource.addressData,
                                        EntryOfVCard(resource.addressData.toStdString())});
                return read;
            },
            [this, batch = std::move(batch)](std::vector<ServerChange> read) {
                QHash<QString, std::size_t> sent;
                for (const std::size_t i : batch)
                    sent.insert(m_confirmed[i].href, i);
                bool bChanged = false;
                for (ServerChange& stored : read) {
                    const auto it = sent.constFind(stored.href);
                    if (it == sent.cend() || !stored.record)
                        continue;
                    SyncLink& link = m_confirmed[*it];
                    if (*stored.record != link.record) {
                        const std::optional<std::size_t> at = m_doc.FindEntry(link.record);
                        if (!at) // changed in the window meanwhile: that change goes up next time
                            continue;
                        m_doc.ReplaceEntry(*at, *stored.record);
                        ++m_report.nRewritten;
                        bChanged = true;
                    }
                    link = {stored.href, stored.etag, stored.card, *stored.record};
                }
                if (bChanged && !m_saveBook())
                    return Finish(QStringLiteral("電話帳を保存できません。次の同期でやり直します。"));
                Confirm();
            });
    });
}

void BookSync::Finish(QString error) {
    if (m_bFinished) // a cancelled fetch and a mapping still under way both end here
        return;
    m_bFinished = true;
    // Told from the event loop, never from inside Cancel or Start: the caller may end
    // this object in its handler.
    QTimer::singleShot(0, [done = m_done, error = std::move(error), report = m_report] { done(error, report); });
}
