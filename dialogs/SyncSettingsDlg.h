#pragma once

#include "platform/ui/Dialog.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <vector>

class DavClient;
struct DavAddressBook;
struct DavError;

/// "同期の設定", template 144: the server's address (an address book's, or just the
/// host), the user name and the password, and the address books found there, to pick
/// one. The search runs while the dialog keeps answering the user; a certificate that
/// does not verify is trusted only when the user says so, by its fingerprint. The
/// caller fills the members (a link kept before) and reads them back after OK.
class CSyncSettingsDlg : public CDialog {
    Q_OBJECT
public:
    explicit CSyncSettingsDlg(QWidget* pParent = nullptr);
    ~CSyncSettingsDlg() override;

    QString m_strUrl; ///< as typed: a host alone means https
    QString m_strUser;
    QString m_strPassword;
    QUrl m_bookUrl; ///< the address book picked
    QString m_strBookName;
    QByteArray m_trustedCertificate; ///< SHA-256 digest of a certificate the user trusts; empty for none

    /// The address `text` stands for: https unless it names its scheme.
    static QUrl ServerUrl(const QString& text);

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    /// With an address book picked, ends the dialog; else Enter means: find them.
    void OnOK() override;
    void OnFind();

private:
    void Found(const DavError& error, const std::vector<DavAddressBook>& books);
    /// Asks whether to trust the certificate the search was refused for, and searches again if so.
    void AskTrust(const QString& reason, const QByteArray& digest);
    void ShowMessage(const QString& text);

    std::unique_ptr<DavClient> m_pDav; // the search under way, or the last one
};
