#pragma once
// The window's sync of its phone book with a CardDAV address book: the link kept for
// each phone-book file in the program's settings, the password in the desktop's
// secret store (or, where there is none, in memory until the program ends), and one
// sync at a time, running while the window stays in use, with its progress and a
// cancel button in the status bar.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class BookSync;
class QAction;
class CMarloDoc;
class CWinApp;
class DavClient;
class QLabel;
class QPushButton;
class QWidget;
struct SyncReport;

class WindowSync : public QObject {
    Q_OBJECT
public:
    /// `pView` is where the dialogs and the status bar belong; `synced` is told when a sync
    /// ended, with whether it changed the book.
    WindowSync(CMarloDoc& doc, CWinApp* pApp, QWidget* pView, std::function<void(bool bChanged)> synced);
    ~WindowSync() override;

    /// "同期": the book with its linked address book; the settings first when it has none.
    void OnFileSync();
    /// "同期の設定": which address book, as whom.
    void OnSyncSettings();
    bool IsRunning() const { return m_bRunning; }
    /// Stops the sync under way: what the server confirmed stays, the rest goes at the next sync.
    void Cancel();

    /// The link of a phone-book file to an address book.
    struct Link {
        QUrl book;
        QString name; // the address book's name as the server gives it
        QString user;
        QByteArray certificate; // SHA-256 digest of a certificate the user trusts; empty for none
    };
    /// The link kept for the book at `path` (file-system bytes, absolute).
    std::optional<Link> LoadLink(const std::string& path) const;

private:
    void SaveLink(const std::string& path, const Link& link);
    /// A book that has no file yet is saved first, as Save saves it; false when it is not.
    bool EnsureSaved();
    /// The password of `link`: this session's, else the secret store's; nullopt when neither has one.
    void GetPassword(const Link& link, std::function<void(std::optional<QString>)> done);
    /// The settings dialog, filled with `link` and `password`; on OK the link is kept, the
    /// password stored, and `then` runs with them.
    void EditLink(const std::string& path, const std::optional<Link>& link, const QString& password,
                  const std::function<void(const Link&, const QString&)>& then);
    void KeepPassword(const Link& link, const QString& password);
    void Begin();
    void Run(const std::string& path, const Link& link, const QString& password);
    void Finished(const QString& error, const SyncReport& report);
    void End(const QString& status);
    void ShowStatus(const QString& text);

    CMarloDoc& m_doc;
    CWinApp* m_pApp;
    QWidget* m_pView;
    std::function<void(bool)> m_fnSynced;
    QHash<QString, QString> m_sessionPasswords; // those the secret store did not take
    std::unique_ptr<DavClient> m_pDav;
    std::unique_ptr<BookSync> m_pSync;
    bool m_bRunning = false;
    bool m_bCancelled = false;
    int m_nRun = 0; // which sync a late answer (a password read) belongs to
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pCancel = nullptr;
    QAction* m_pEscape = nullptr; // Esc, while a sync runs
};
