#include "WindowSync.h"

#include "data/MarloDoc.h"
#include "dialogs/ImportReportDlg.h"
#include "dialogs/SyncSettingsDlg.h"
#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"
#include "res/Dialogs.h"
#include "res/Resource.h"
#include "sync/BookSync.h"
#include "sync/Passwords.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>

namespace {

const char* const kBusy = "電話帳をサーバーと同期しています。";

// Each phone-book file's link in a section of its own, named by the file's absolute path.
QString LinkSection(const std::string& path) {
    return QStringLiteral("Sync/") + QString::fromLatin1(QByteArray::fromStdString(path).toPercentEncoding());
}

QString PasswordKey(const WindowSync::Link& link) {
    return link.user + QLatin1Char('\n') + link.book.toString(QUrl::RemoveUserInfo);
}

QString Fields(const PhoneRecord& record) {
    QString memo = Cp932ToUnicode(record.m_strMemo);
    memo.replace(QLatin1String("\r\n"), QLatin1String(" / "));
    return QStringLiteral("%1 / %2 / %3 / %4")
        .arg(Cp932ToUnicode(record.m_strRomaji), Cp932ToUnicode(record.m_strKanji), Cp932ToUnicode(record.m_strPhone),
             memo);
}

// What a sync did, short enough for the status bar; the whole report is its tool tip.
QString StatusSummary(const SyncReport& report) {
    QStringList done;
    if (report.nFiled)
        done << QStringLiteral("%1 件を受け取り").arg(report.nFiled);
    if (report.nRemoved)
        done << QStringLiteral("%1 件を取り除き").arg(report.nRemoved);
    if (report.nSent)
        done << QStringLiteral("%1 件を送り").arg(report.nSent);
    if (report.nDeleted)
        done << QStringLiteral("サーバーの %1 件を削除し").arg(report.nDeleted);
    if (!report.conflicts.empty())
        done << QStringLiteral("両方で変更された %1 件は両方の版を残し").arg(report.conflicts.size());
    if (done.isEmpty())
        return QStringLiteral("同期しました。変更はありませんでした。");
    return QStringLiteral("同期しました: ") + done.join(QStringLiteral("、")) + QStringLiteral("ました。");
}

} // namespace

WindowSync::WindowSync(CMarloDoc& doc, CWinApp* pApp, QWidget* pView, std::function<void(bool)> synced)
    : m_doc(doc), m_pApp(pApp), m_pView(pView), m_fnSynced(std::move(synced)) {}

WindowSync::~WindowSync() {
    // The requests under way end while the sync that waits for them still lives.
    if (m_pSync)
        m_pSync->Cancel();
    if (m_bRunning)
        m_doc.SetBusy({});
}

std::optional<WindowSync::Link> WindowSync::LoadLink(const std::string& path) const {
    if (!m_pApp || path.empty())
        return std::nullopt;
    const QString section = LinkSection(path);
    Link link{QUrl(m_pApp->GetProfileString(section, QStringLiteral("Address Book"))),
              m_pApp->GetProfileString(section, QStringLiteral("Name")),
              m_pApp->GetProfileString(section, QStringLiteral("User")),
              QByteArray::fromHex(m_pApp->GetProfileString(section, QStringLiteral("Certificate")).toLatin1())};
    if (!link.book.isValid() || link.book.isEmpty() || link.user.isEmpty())
        return std::nullopt;
    return link;
}

void WindowSync::SaveLink(const std::string& path, const Link& link) {
    const QString section = LinkSection(path);
    m_pApp->WriteProfileString(section, QStringLiteral("Address Book"), link.book.toString(QUrl::RemoveUserInfo));
    m_pApp->WriteProfileString(section, QStringLiteral("Name"), link.name);
    m_pApp->WriteProfileString(section, QStringLiteral("User"), link.user);
    m_pApp->WriteProfileString(section, QStringLiteral("Certificate"), QString::fromLatin1(link.certificate.toHex()));
}

bool WindowSync::EnsureSaved() {
    if (!m_doc.GetPathName().empty() && PathExists(m_doc.GetPathName()))
        return true;
    if (AfxAskButtons(
            m_pView, QStringLiteral("同期する前に、この電話帳をファイルに保存してください。保存しますか?"),
            {{QMessageBox::Save, QStringLiteral("保存(&S)")}, {QMessageBox::Cancel, QStringLiteral("キャンセル")}},
            QMessageBox::Save) != QMessageBox::Save)
        return false;
    return m_doc.DoFileSave();
}

void WindowSync::GetPassword(const Link& link, std::function<void(std::optional<QString>)> done) {
    if (const auto kept = m_sessionPasswords.constFind(PasswordKey(link)); kept != m_sessionPasswords.cend()) {
        done(*kept);
        return;
    }
    ReadPassword(link.book, link.user, [done = std::move(done)](QString password, QString error) {
        done(error.isEmpty() ? std::optional<QString>(password) : std::nullopt);
    });
}

void WindowSync::KeepPassword(const Link& link, const QString& password) {
    // Kept in memory until the secret store says it has it.
    const QString key = PasswordKey(link);
    m_sessionPasswords.insert(key, password);
    WritePassword(link.book, link.user, password, [guard = QPointer<WindowSync>(this), key](QString error) {
        if (!guard)
            return;
        if (error.isEmpty()) {
            guard->m_sessionPasswords.remove(key);
            return;
        }
        AfxMessageBox(guard->m_pView,
                      error + QStringLiteral("\nパスワードはこのプログラムを終了するまでだけ覚えておきます。"));
    });
}

void WindowSync::EditLink(const std::string& path, const std::optional<Link>& link, const QString& password,
                          const std::function<void(const Link&, const QString&)>& then) {
    if (!m_pApp)
        return;
    CSyncSettingsDlg dlg(m_pView->window());
    if (link) {
        dlg.m_strUrl = link->book.toString(QUrl::RemoveUserInfo);
        dlg.m_strUser = link->user;
        dlg.m_bookUrl = link->book;
        dlg.m_strBookName = link->name;
        dlg.m_trustedCertificate = link->certificate;
    }
    dlg.m_strPassword = password;
    if (dlg.DoModal() != IDOK)
        return;
    const Link chosen{dlg.m_bookUrl, dlg.m_strBookName, dlg.m_strUser, dlg.m_trustedCertificate};
    SaveLink(path, chosen);
    KeepPassword(chosen, dlg.m_strPassword);
    if (then)
        then(chosen, dlg.m_strPassword);
}

void WindowSync::OnSyncSettings() {
    if (m_doc.ReportIfBusy() || !EnsureSaved())
        return;
    const std::string path = m_doc.GetPathName();
    const std::optional<Link> link = LoadLink(path);
    if (!link) {
        EditLink(path, std::nullopt, {}, {});
        return;
    }
    GetPassword(*link, [guard = QPointer<WindowSync>(this), path, link](std::optional<QString> password) {
        // The window went on meanwhile: the dialog is for the book still open.
        if (guard && guard->m_doc.GetPathName() == path && !guard->m_doc.IsBusy())
            guard->EditLink(path, link, password.value_or(QString()), {});
    });
}

void WindowSync::OnFileSync() {
    if (m_doc.ReportIfBusy() || !EnsureSaved())
        return;
    const std::string path = m_doc.GetPathName();
    const std::optional<Link> link = LoadLink(path);
    if (!link) {
        EditLink(path, std::nullopt, {}, [this, path](const Link& chosen, const QString& password) {
            Begin();
            Run(path, chosen, password);
        });
        return;
    }
    Begin();
    ShowStatus(QStringLiteral("パスワードを読み出しています…"));
    GetPassword(*link,
                [this, guard = QPointer<WindowSync>(this), path, link, nRun = m_nRun](std::optional<QString> password) {
                    if (!guard || nRun != m_nRun || m_bCancelled)
                        return;
                    if (password)
                        return Run(path, *link, *password);
                    // No password kept: the settings ask for it.
                    bool bAsked = false;
                    EditLink(path, link, {}, [this, path, &bAsked](const Link& chosen, const QString& typed) {
                        bAsked = true;
                        Run(path, chosen, typed);
                    });
                    if (!bAsked)
                        End(QStringLiteral("同期しませんでした。"));
                });
}

void WindowSync::Begin() {
    // From here until the end no command may replace the book or its file.
    ++m_nRun;
    m_bRunning = true;
    m_bCancelled = false;
    m_doc.SetBusy(kBusy);
    if (!m_pStatus) {
        auto* frame = qobject_cast<QMainWindow*>(m_pView->window());
        if (!frame)
            return;
        m_pStatus = new QLabel(frame->statusBar());
        m_pStatus->setObjectName(QStringLiteral("syncStatus"));
        // A long text is cut at the window's edge rather than widening the window.
        m_pStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        m_pStatus->setTextFormat(Qt::PlainText);
        frame->statusBar()->addWidget(m_pStatus, 1);
        m_pCancel = new QPushButton(QStringLiteral("中止"), frame->statusBar());
        m_pCancel->setObjectName(QStringLiteral("syncCancel"));
        m_pCancel->setToolTip(QStringLiteral("同期を中止します (Esc)"));
        m_pCancel->setFocusPolicy(Qt::NoFocus);
        connect(m_pCancel, &QPushButton::clicked, this, &WindowSync::Cancel);
        frame->statusBar()->addPermanentWidget(m_pCancel);
        // Esc in the main window stops a sync at once; between syncs the key is free.
        m_pEscape = new QAction(frame);
        m_pEscape->setShortcut(QKeySequence(Qt::Key_Escape));
        connect(m_pEscape, &QAction::triggered, this, &WindowSync::Cancel);
        frame->addAction(m_pEscape);
        frame->statusBar()->show(); // now, not when the event loop comes round
        // The window grows by the status bar rather than giving the form scroll bars.
        if (!(frame->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
            frame->resize(frame->width(), frame->height() + frame->statusBar()->sizeHint().height());
    }
    m_pCancel->show();
    m_pEscape->setEnabled(true);
    ShowStatus(QStringLiteral("同期を始めています…"));
}

void WindowSync::Run(const std::string& path, const Link& link, const QString& password) {
    m_pDav = std::make_unique<DavClient>(link.user, password);
    m_pDav->TrustCertificate(link.certificate);
    // The sync files the server's entries into the book as it stands when they are in,
    // and plans from it; entries added, changed or deleted while it sends go up at the
    // next sync. It saves the book to the file it started with, never elsewhere: the
    // state it keeps describes that file.
    m_pSync = std::make_unique<BookSync>(m_doc, *m_pDav, link.book, SyncStatePath(path, link.book, link.user),
                                         [this, path] { return m_doc.DoSave(path); });
    m_pSync->Start(
        [guard = QPointer<WindowSync>(this)](QString error, SyncReport report) {
            if (guard)
                guard->Finished(error, report);
        },
        [this](const QString& text) { ShowStatus(text); });
}

void WindowSync::Cancel() {
    if (!m_bRunning)
        return;
    m_bCancelled = true;
    if (m_pSync) {
        ShowStatus(QStringLiteral("同期を中止しています…"));
        m_pSync->Cancel(); // its end comes from the event loop
    } else {
        End(QStringLiteral("同期を中止しました。"));
    }
}

void WindowSync::End(const QString& status) {
    m_bRunning = false;
    m_doc.SetBusy({});
    if (m_pCancel) {
        m_pCancel->hide();
        m_pEscape->setEnabled(false);
    }
    ShowStatus(status);
}

void WindowSync::Finished(const QString& error, const SyncReport& report) {
    // Called from the event loop, never from inside the sync: both may go now.
    m_pSync.reset();
    m_pDav.reset();
    const bool bCancelled = m_bCancelled;
    End(error.isEmpty() ? StatusSummary(report) : error);
    if (m_pStatus)
        m_pStatus->setToolTip((error.isEmpty() ? QString() : error + QLatin1Char('\n')) + report.Describe());
    m_fnSynced(report.ChangedBook());
    if (!error.isEmpty() && !bCancelled)
        AfxMessageBox(m_pView, error + QStringLiteral("\n\n") + report.Describe());
    // A password the server no longer takes is mended where it was given.
    if (report.bPasswordRefused)
        return OnSyncSettings();
    if (!report.conflicts.empty()) {
        CImportReportDlg dlg(m_pView->window(), SyncReportTemplate());
        dlg.m_strSummary = QStringLiteral("サーバーとこの電話帳の両方で変更された連絡先が %1 件あります。"
                                          "どちらの変更も失わないよう、両方の版を残しました。")
                               .arg(report.conflicts.size());
        for (const auto& [server, book] : report.conflicts)
            dlg.m_strDetails +=
                QStringLiteral("サーバーの版: %1\nこの電話帳の版: %2\n\n").arg(Fields(server), Fields(book));
        dlg.DoModal();
    }
}

void WindowSync::ShowStatus(const QString& text) {
    if (!m_pStatus)
        return;
    m_pStatus->setText(text);
    m_pStatus->setToolTip(text);
}
