#include "BookSync.h"

#include "SyncState.h"
#include "data/MarloDoc.h"
#include "data/MrlData.h"
#include "interop/VCard.h"
#include "platform/Cp932.h"

#include <QCryptographicHash>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>
#include <algorithm>

namespace {

constexpr std::size_t kCardsPerFetch = 1000; // cards asked for in one multiget
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
    if (nUnreadable)
        lines << QStringLiteral("サーバーの %1 件は vCard として読めないため、そのままにしました。").arg(nUnreadable);
    return lines.join(u'\n');
}

QString SyncStatePath(const std::string& bookPath, const QUrl& book, const QString& user) {
    QByteArray path = QByteArray::fromStdString(bookPath);
    if (!path.startsWith('/'))
        path = QDir::currentPath().toLocal8Bit() + '/' + path;
    const QByteArray key = path + '\n' + book.toString(QUrl::RemoveUserInfo).toUtf8() + '\n' + user.toUtf8();
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Marlo/sync/");
    return folder + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32)) +
           QStringLiteral(".json");
}

BookSync::BookSync(CMarloDoc& doc, DavClient& dav, QUrl book, QString statePath, std::function<bool()> saveBook)
    : m_doc(doc), m_dav(dav), m_book(std::move(book)), m_statePath(std::move(statePath)), m_saveBook(std::move(saveBook)) {}

void BookSync::Start(std::function<void(QString, SyncReport)> done, std::function<void(QString)> progress) {
    m_done = std::move(done);
    m_progress = std::move(progress);
    m_report = {};
    m_nRound = 0;
    m_bCancelled = false;
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
    m_bRetry = false;
    m_writeError.clear();
    SyncState state;
    QString error;
    if (!LoadSyncState(m_statePath, state, error))
        return Finish(error);
    m_links = std::move(state.links);
    m_token = std::move(state.token);
    Progress(QStringLiteral("サーバーの変更を確かめています…"));
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
}

void BookSync::Listed(DavError error, DavMultistatus listing, bool bFull) {
    if (m_bCancelled)
        return Finish(Cancelled());
    if (error)
        return Finish(error.message);
    m_newToken = listing.syncToken;
    QHash<QString, QByteArray> linked;
    for (const SyncLink& link : m_links)
        linked.insert(link.href, link.etag);
    QSet<QString> listed;
    std::vector<QString> fetch;
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
            fetch.push_back(resource.href);
    }
    // A full listing names every card: a linked card it does not name was removed.
    if (bFull)
        for (const SyncLink& link : m_links)
            if (!listed.contains(link.href))
                m_changes.push_back({link.href, {}, {}, std::nullopt});
    Fetch(std::move(fetch), 0);
}

void BookSync::Fetch(std::vector<QString> hrefs, std::size_t from) {
    if (from >= hrefs.size())
        return Plan();
    Progress(QStringLiteral("サーバーから %1 / %2 件を受け取っています…").arg(from).arg(hrefs.size()));
    const std::size_t n = std::min(kCardsPerFetch, hrefs.size() - from);
    const std::vector<QString> batch(hrefs.begin() + static_cast<std::ptrdiff_t>(from),
                                     hrefs.begin() + static_cast<std::ptrdiff_t>(from + n));
    m_dav.Multiget(m_book, batch, [this, hrefs = std::move(hrefs), from, n](DavError error, DavMultistatus got) mutable {
        if (m_bCancelled)
            return Finish(Cancelled());
        if (error)
            return Finish(error.message);
        for (DavResource& resource : got.resources) {
            if (resource.nStatus == 404) { // removed since it was listed
                m_changes.push_back({resource.href, {}, {}, std::nullopt});
                continue;
            }
            if (resource.addressData.isEmpty())
                continue;
            std::optional<PhoneRecord> record = EntryOfVCard(resource.addressData.toStdString());
            if (!record) {
                ++m_report.nUnreadable;
                continue;
            }
            m_changes.push_back({resource.href, resource.etag, std::move(resource.addressData), std::move(record)});
        }
        Fetch(std::move(hrefs), from + n);
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
    SyncPlan plan = PlanSync(book, m_links, m_changes, [&folder] {
        return folder + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".vcf");
    });

    // The book first, saved: the state must never name an entry the file does not hold.
    for (const PhoneRecord& record : plan.removeLocal)
        if (const std::optional<std::size_t> at = m_doc.FindEntry(record))
            m_doc.RemoveEntry(*at);
    if (!plan.addLocal.empty())
        m_doc.AddEntries(plan.addLocal);
    m_report.nFiled += static_cast<int>(plan.addLocal.size());
    m_report.nRemoved += static_cast<int>(plan.removeLocal.size());
    m_report.conflicts.insert(m_report.conflicts.end(), plan.conflicts.begin(), plan.conflicts.end());
    if (!plan.removeLocal.empty() || !plan.addLocal.empty() || m_doc.IsModified()) {
        Progress(QStringLiteral("電話帳を保存しています…"));
        if (!m_saveBook())
            return Finish(QStringLiteral("電話帳を保存できないため、同期を中止しました。サーバーには何も送っていません。"));
    }
    // Then the state with every write still to be answered, so that a sync killed while
    // writing sends again what did not arrive and takes what did.
    m_confirmed = std::move(plan.links);
    m_uploads = std::move(plan.uploads);
    m_deletes = std::move(plan.deletes);
    SyncState pending{m_newToken, m_confirmed};
    for (const SyncPlan::Upload& upload : m_uploads)
        pending.links.push_back(upload.over);
    pending.links.insert(pending.links.end(), m_deletes.begin(), m_deletes.end());
    QString error;
    if (!SaveSyncState(m_statePath, pending, error))
        return Finish(error);
    Send();
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
    SyncState state{m_newToken, std::move(m_confirmed)};
    state.links.insert(state.links.end(), m_pending.begin(), m_pending.end());
    QString error;
    if (!SaveSyncState(m_statePath, state, error))
        return Finish(error);
    if (m_bCancelled)
        return Finish(Cancelled());
    if (!m_writeError.isEmpty())
        return Finish(m_writeError + QStringLiteral(" 送れなかった変更は次の同期で送ります。"));
    if (m_bRetry && m_nRound < kMaxRounds)
        return Round();
    Finish({});
}

void BookSync::Finish(QString error) {
    // Told from the event loop, never from inside Cancel or Start: the caller may end
    // this object in its handler.
    QTimer::singleShot(0, [done = m_done, error = std::move(error), report = m_report] { done(error, report); });
}
