#pragma once
// A real CardDAV server for the sync tests: Radicale on 127.0.0.1 at a free port,
// with its own folder and users, started by the test and stopped at its end.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

class Radicale {
public:
    /// Starts the server with the user "alice" (password "secret"); `tls` serves https
    /// with a self-signed certificate made for the occasion; `maxRequestBytes` refuses
    /// larger requests (413). Check Failure().
    explicit Radicale(bool tls = false, qint64 maxRequestBytes = 0);
    ~Radicale();
    Radicale(const Radicale&) = delete;
    Radicale& operator=(const Radicale&) = delete;

    /// Empty when the server answers, else why it does not.
    const QString& Failure() const { return m_failure; }
    /// The server's root, "http://127.0.0.1:PORT/".
    QUrl Root() const { return m_root; }
    /// Makes the address book `name` of alice; its URL.
    QUrl MakeAddressBook(const QString& name);
    /// The SHA-256 digest of the certificate's DER bytes (tls only).
    QByteArray CertificateDigest() const { return m_certificateDigest; }
    /// The folder that holds the cards of alice's address book `name`, one file each.
    QString FolderOf(const QString& name) const { return m_dir.path() + "/collections/collection-root/alice/" + name; }
    /// Gives alice another password, as an administrator would.
    void SetPassword(const QByteArray& password);
    /// The server's process, for its CPU time.
    qint64 ProcessId() const { return m_server.processId(); }
    /// Stops the server at once, as a crash would.
    void Kill();
    /// Starts it again after Kill, on the same port with the same cards.
    void Start();

private:
    QTemporaryDir m_dir;
    QProcess m_server;
    QUrl m_root;
    quint16 m_port = 0;
    QString m_failure;
    QByteArray m_certificateDigest;
};

/// Makes the application object that the network's event loop needs, once per test
/// program that has none of its own (the sync tests; not the window's).
void NeedCoreApplication();
