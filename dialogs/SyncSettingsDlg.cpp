#include "SyncSettingsDlg.h"

#include "platform/ui/DataExchange.h"
#include "platform/ui/MessageBox.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "sync/DavClient.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

CSyncSettingsDlg::CSyncSettingsDlg(QWidget* pParent) : CDialog(SyncSettingsTemplate(), pParent) {
    connect(GetDlgItem<QPushButton>(this, IDC_SYNC_FIND), &QPushButton::clicked, this, [this] { OnFind(); });
    // A double-click picks a book as OK does.
    connect(GetDlgItem<QListWidget>(this, IDC_SYNC_BOOKS), &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });
    GetDlgItem<QLabel>(this, IDC_SYNC_MESSAGE)->setWordWrap(true);
}

CSyncSettingsDlg::~CSyncSettingsDlg() {
    // A search still under way ends here: its answer would find no dialog.
    if (m_pDav) {
        std::unique_ptr<DavClient> dav = std::move(m_pDav);
        dav->AbortAll();
    }
}

QUrl CSyncSettingsDlg::ServerUrl(const QString& text) {
    const QString trimmed = text.trimmed();
    return QUrl::fromUserInput(trimmed.contains(QLatin1String("://")) ? trimmed : QStringLiteral("https://") + trimmed);
}

void CSyncSettingsDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_SYNC_URL, m_strUrl);
    DDX_Text(dx, IDC_SYNC_USER, m_strUser);
    DDX_Text(dx, IDC_SYNC_PASSWORD, m_strPassword);
}

bool CSyncSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_bookUrl.isValid()) {
        auto* item = new QListWidgetItem(m_strBookName.isEmpty()
                                             ? m_bookUrl.toDisplayString()
                                             : m_strBookName + QStringLiteral("  ") + m_bookUrl.toDisplayString(),
                                         GetDlgItem<QListWidget>(this, IDC_SYNC_BOOKS));
        item->setData(Qt::UserRole, m_bookUrl);
        item->setData(Qt::UserRole + 1, m_strBookName);
        item->setSelected(true);
    }
    // The focus goes to the first box still to fill in.
    for (int nId : {IDC_SYNC_URL, IDC_SYNC_USER, IDC_SYNC_PASSWORD}) {
        auto* box = GetDlgItem<QLineEdit>(this, nId);
        if (box->text().isEmpty() || nId == IDC_SYNC_PASSWORD) {
            box->setFocus();
            break;
        }
    }
    return false;
}

void CSyncSettingsDlg::ShowMessage(const QString& text) {
    GetDlgItem<QLabel>(this, IDC_SYNC_MESSAGE)->setText(text);
}

void CSyncSettingsDlg::OnFind() {
    if (!UpdateData(true))
        return;
    if (m_strUrl.trimmed().isEmpty() || m_strUser.isEmpty()) {
        ShowMessage(QStringLiteral("サーバーのアドレスとユーザー名を入力してください。"));
        GetDlgItem<QLineEdit>(this, m_strUrl.trimmed().isEmpty() ? IDC_SYNC_URL : IDC_SYNC_USER)->setFocus();
        return;
    }
    if (m_pDav) // an earlier search, still under way, is replaced
        std::exchange(m_pDav, nullptr)->AbortAll();
    GetDlgItem<QListWidget>(this, IDC_SYNC_BOOKS)->clear();
    GetDlgItem<QPushButton>(this, IDC_SYNC_FIND)->setEnabled(false);
    ShowMessage(QStringLiteral("アドレス帳を探しています…"));
    m_pDav = std::make_unique<DavClient>(m_strUser, m_strPassword);
    m_pDav->TrustCertificate(m_trustedCertificate);
    DavClient* dav = m_pDav.get();
    dav->Discover(ServerUrl(m_strUrl), [this, dav](DavError error, std::vector<DavAddressBook> books) {
        if (m_pDav.get() == dav) // not a search given up
            Found(error, books);
    });
}

void CSyncSettingsDlg::Found(const DavError& error, const std::vector<DavAddressBook>& books) {
    auto* find = GetDlgItem<QPushButton>(this, IDC_SYNC_FIND);
    find->setEnabled(true);
    if (error.kind == DavError::Kind::Certificate && !error.certificate.isEmpty()) {
        ShowMessage(error.message);
        // Asked once the network's handler has returned.
        QTimer::singleShot(0, this,
                           [this, reason = error.message, digest = error.certificate] { AskTrust(reason, digest); });
        return;
    }
    if (error) {
        ShowMessage(error.message);
        GetDlgItem<QLineEdit>(this, error.kind == DavError::Kind::Password ? IDC_SYNC_PASSWORD : IDC_SYNC_URL)
            ->setFocus();
        return;
    }
    auto* list = GetDlgItem<QListWidget>(this, IDC_SYNC_BOOKS);
    for (const DavAddressBook& book : books) {
        auto* item =
            new QListWidgetItem(book.name.isEmpty() ? book.url.toDisplayString()
                                                    : book.name + QStringLiteral("  ") + book.url.toDisplayString(),
                                list);
        item->setData(Qt::UserRole, book.url);
        item->setData(Qt::UserRole + 1, book.name);
        if (book.url == m_bookUrl || books.size() == 1)
            item->setSelected(true);
    }
    if (list->selectedItems().isEmpty())
        list->item(0)->setSelected(true);
    list->setCurrentItem(list->selectedItems().first());
    list->setFocus();
    ShowMessage(QStringLiteral("アドレス帳が %1 冊見つかりました。同期するアドレス帳を選んで OK を押してください。")
                    .arg(books.size()));
}

void CSyncSettingsDlg::AskTrust(const QString& reason, const QByteArray& digest) {
    const QString text =
        reason + QStringLiteral("\n\n証明書の SHA-256 フィンガープリント:\n") +
        QString::fromLatin1(digest.toHex(':').toUpper()) +
        QStringLiteral("\n\nこのフィンガープリントをサーバーの管理者に確かめた場合だけ、信頼してください。"
                       "この証明書を信頼して接続しますか?");
    if (!AfxYesNoWarning(this, text))
        return;
    m_trustedCertificate = digest;
    OnFind();
}

void CSyncSettingsDlg::OnOK() {
    if (!UpdateData(true))
        return;
    const QList<QListWidgetItem*> picked = GetDlgItem<QListWidget>(this, IDC_SYNC_BOOKS)->selectedItems();
    if (picked.isEmpty()) {
        // Enter in the boxes finds the address books first.
        if (GetDlgItem<QPushButton>(this, IDC_SYNC_FIND)->isEnabled())
            OnFind();
        return;
    }
    m_bookUrl = picked.first()->data(Qt::UserRole).toUrl();
    m_strBookName = picked.first()->data(Qt::UserRole + 1).toString();
    EndDialog(IDOK);
}
