#pragma once
// One sync of a phone book with a CardDAV address book, from start to end: what
// changed on the server comes in, the plan decides, the book is filed and saved, the
// state with the writes still to confirm is kept, and only then are cards sent and
// deleted. Killed at any point, the next sync finishes the work: nothing is doubled
// or lost. The event loop keeps running throughout; the window stays usable.

#include "DavClient.h"
#include "SyncPlan.h"
#include "Worker.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <utility>
#include <vector>

class CMarloDoc;

/// What a sync did.
struct SyncReport {
    int nFiled = 0;      ///< entries filed from the server: new or changed there
    int nRemoved = 0;    ///< entries taken out of the book: removed on the server
    int nSent = 0;       ///< cards written to the server
    int nDeleted = 0;    ///< cards deleted on the server
    int nUnreadable = 0; ///< server cards that are no vCard, left as they are
    int nRewritten = 0;  ///< entries sent that the server stores otherwise, now as it stores them
    bool bPasswordRefused = false; ///< the server refused the user name or password: the link needs mending
    /// Contacts both sides changed: the server's version and the book's, both kept.
    std::vector<std::pair<PhoneRecord, PhoneRecord>> conflicts;

    /// What the user is told, one statement a line.
    QString Describe() const;
    /// True when the sync changed the book's entries.
    bool ChangedBook() const { return nFiled > 0 || nRemoved > 0 || nRewritten > 0; }
};

/// Where the sync state of the book at `bookPath` with the address book `book` of
/// `user` is kept: a file of its own in the program's settings folder.
QString SyncStatePath(const std::string& bookPath, const QUrl& book, const QString& user);

class BookSync {
public:
    /// Syncs the book open in `doc` with `book` through `dav`; `saveBook` saves the
    /// document to its own file (false when it could not, reported).
    BookSync(CMarloDoc& doc, DavClient& dav, QUrl book, QString statePath, std::function<bool()> saveBook);
    BookSync(const BookSync&) = delete;
    BookSync& operator=(const BookSync&) = delete;

    /// Starts the sync; `done` is called once, from the event loop, with an empty error
    /// on success. `progress` hears what is being done.
    void Start(std::function<void(QString error, SyncReport report)> done,
               std::function<void(QString)> progress = {});
    /// Stops the requests under way: what was confirmed is kept, the rest is done by the
    /// next sync.
    void Cancel();

private:
    void Round();
    void Listed(DavError error, DavMultistatus listing, bool bFull);
    void Fetch();
    void Plan();
    void Apply(SyncPlan plan);
    void Send();
    void SendNext();
    void Echo();
    void Confirm();
    void Finish(QString error);
    void Progress(const QString& text) const;

    CMarloDoc& m_doc;
    DavClient& m_dav;
    QUrl m_book;
    QString m_statePath;
    std::function<bool()> m_saveBook;
    std::function<void(QString, SyncReport)> m_done;
    std::function<void(QString)> m_progress;

    // One round's work: the state read at its start, what the server changed, the token
    // it gave, and the writes.
    std::vector<SyncLink> m_links;
    QByteArray m_token;
    QByteArray m_newToken;
    std::vector<ServerChange> m_changes;
    std::vector<QString> m_toFetch;   ///< cards to fetch, by href
    std::size_t m_nFetched = 0;       ///< how many of them were asked for
    int m_nMapping = 0;               ///< fetched batches not yet mapped to entries
    bool m_bFetching = false;         ///< a multiget is under way
    std::vector<SyncPlan::Upload> m_uploads;
    std::vector<SyncLink> m_deletes;
    std::vector<SyncLink> m_confirmed; ///< links that stand after this round
    std::vector<SyncLink> m_pending;   ///< links of writes not yet answered
    std::vector<std::size_t> m_sent;   ///< links in m_confirmed of cards sent, not yet read back
    std::size_t m_nNextWrite = 0;
    int m_nInFlight = 0;
    int m_nRound = 0;
    bool m_bStateChanged = false; ///< the state on disk must be written again
    bool m_bRetry = false;     ///< a write met a newer version: one more round
    bool m_bCancelled = false;
    bool m_bFinished = false;
    QString m_writeError;      ///< the first write that failed
    SyncReport m_report;
    Worker m_worker; ///< the state's reading and writing, the mapping of cards, the plan
};
