#include "WinApp.h"

#include "AfxRes.h"
#include "DialogTemplate.h"
#include "FormView.h"
#include "FrameWnd.h"
#include "MessageBox.h"

#include "platform/FileSystem.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPageSetupDialog>
#include <QProxyStyle>
#include <QSettings>

#include <cstdio>

namespace {

constexpr const char* kRecentGroup = "Recent File List";

QString AllFilesFilter() {
    return QStringLiteral("すべてのﾌｧｲﾙ (*)");
}

/// The toolkit's style, with plain push buttons in message boxes and file dialogs as
/// the program's users know them.
class PlainButtonsStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == QStyle::SH_DialogButtonBox_ButtonsHaveIcons)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

/// Errors and questions of the document in message boxes and file dialogs.
class WindowReporter : public DocReporter {
public:
    explicit WindowReporter(CWinApp& app) : m_app(app) {}

    void ReportError(const std::string& message) override {
        AfxMessageBox(m_app.GetMainWnd(), QString::fromUtf8(message));
    }

    SaveAnswer AskSaveChanges(const std::string& title) override {
        const QString text = QStringLiteral("%1 への変更を保存しますか?").arg(QFile::decodeName(title.c_str()));
        switch (AfxYesNoCancel(m_app.GetMainWnd(), text)) {
        case QMessageBox::Yes:
            return SaveAnswer::Yes;
        case QMessageBox::No:
            return SaveAnswer::No;
        default:
            return SaveAnswer::Cancel;
        }
    }

    std::optional<std::string> AskSavePath(const std::string& proposedPath) override {
        QFileDialog dialog(m_app.GetMainWnd(), QStringLiteral("名前を付けて保存"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(AllFilesFilter());
        const QString proposed = QFile::decodeName(proposedPath.c_str());
        if (!proposed.isEmpty()) {
            const QFileInfo info(proposed);
            dialog.setDirectory(info.absolutePath());
            dialog.selectFile(info.fileName());
        } else {
            dialog.setDirectory(QDir::currentPath());
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return PathFromToolkit(dialog.selectedFiles().constFirst(), "保存できません",
                               [this](const std::string& message) { ReportError(message); });
    }

    // The message says what would be lost; the box asks, and its answers are Yes and No.
    bool ConfirmLoss(const std::string& message) override {
        return AfxYesNoWarning(m_app.GetMainWnd(),
                               QString::fromUtf8(message) + QStringLiteral("\n\nこのまま保存しますか?"));
    }

    ChangedAnswer AskOverwriteChanged(const std::string& message) override {
        switch (AfxAskButtons(m_app.GetMainWnd(), QString::fromUtf8(message),
                              {{QMessageBox::Yes, QStringLiteral("上書き(&O)")},
                               {QMessageBox::Save, QStringLiteral("名前を付けて保存(&A)")},
                               {QMessageBox::Cancel, QStringLiteral("キャンセル")}},
                              QMessageBox::Cancel)) {
        case QMessageBox::Yes:
            return ChangedAnswer::Overwrite;
        case QMessageBox::Save:
            return ChangedAnswer::SaveAs;
        default:
            return ChangedAnswer::Cancel;
        }
    }

    bool AskReload(const std::string& message) override { return AskYesNo(message, QMessageBox::Yes); }
    bool AskRestore(const std::string& message) override { return AskYesNo(message, QMessageBox::Yes); }

    void AddToRecentFileList(const std::string& absolutePath) override {
        // The list keeps text: a path whose bytes are not UTF-8 could not come back from it as the same bytes.
        if (IsUtf8Path(absolutePath))
            m_app.AddToRecentFileList(QString::fromStdString(absolutePath));
    }

    void DocumentChanged() override { m_app.OnDocumentChanged(); }

private:
    bool AskYesNo(const std::string& message, QMessageBox::StandardButton byDefault) {
        return AfxAskButtons(m_app.GetMainWnd(), QString::fromUtf8(message),
                             {{QMessageBox::Yes, QStringLiteral("はい(&Y)")}, {QMessageBox::No, QStringLiteral("いいえ(&N)")}},
                             byDefault) == QMessageBox::Yes;
    }

    CWinApp& m_app;
};

/// The document's file commands: Save and Save As.
class DocCommands : public CCmdTarget {
public:
    explicit DocCommands(CDocument& doc) {
        OnCommand(ID_FILE_SAVE, [&doc] { doc.DoFileSave(); });
        OnCommand(ID_FILE_SAVE_AS, [&doc] { doc.DoSave(std::string()); });
    }
};

} // namespace

CWinApp::CWinApp(const QString& appName, const QString& versionText)
    : m_strAppName(appName), m_strVersionText(versionText) {
    AfxSetAppTitle(appName);
    OnCommand(ID_FILE_NEW, [this] { OnFileNew(); });
    OnCommand(ID_FILE_OPEN, [this] { OnFileOpen(); });
    OnCommand(ID_FILE_PRINT_SETUP, [this] { OnFilePrintSetup(); });
    OnCommand(ID_APP_EXIT, [this] { OnAppExit(); });
    OnCommandRange(ID_FILE_MRU_FILE1, ID_FILE_MRU_LAST, [this](int id) { OnOpenRecentFile(id); });
}

CWinApp::~CWinApp() {
    DestroyWindows();
    if (m_pTranslator)
        QCoreApplication::removeTranslator(m_pTranslator.get());
}

void CWinApp::LoadJapaneseTranslations() {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QLocale::setDefault(japanese);
    m_pTranslator = std::make_unique<QTranslator>();
    if (m_pTranslator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(m_pTranslator.get());
    else
        std::fputs("marlo: Qt の日本語訳 qtbase_ja.qm (パッケージ qt6-translations-l10n) が見つかりません。"
                   "標準のダイアログは英語で表示されます。\n",
                   stderr);
}

void CWinApp::SetDialogFontAndStyle() {
    QApplication::setFont(DialogFont());
    if (!dynamic_cast<PlainButtonsStyle*>(QApplication::style()))
        QApplication::setStyle(new PlainButtonsStyle);
}

void CWinApp::SetRegistryKey(const QString& key) {
    m_strRegistryKey = key;
}

void CWinApp::CopyProfileFrom(const QString& oldKey) {
    QSettings settings(m_strRegistryKey, m_strAppName);
    if (!settings.allKeys().isEmpty())
        return;
    const QSettings old(oldKey, m_strAppName);
    for (const QString& key : old.allKeys())
        settings.setValue(key, old.value(key));
}

void CWinApp::LoadStdProfileSettings(int nMaxMRU) {
    m_nMaxMRU = std::min(nMaxMRU, ID_FILE_MRU_LAST - ID_FILE_MRU_FILE1 + 1);
    m_recentFiles.clear();
    QSettings settings(m_strRegistryKey, m_strAppName);
    settings.beginGroup(QLatin1String(kRecentGroup));
    for (int i = 1; i <= m_nMaxMRU; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_recentFiles.contains(path))
            m_recentFiles.append(path);
    }
}

void CWinApp::SaveRecentFiles() const {
    QSettings settings(m_strRegistryKey, m_strAppName);
    settings.remove(QLatin1String(kRecentGroup));
    settings.beginGroup(QLatin1String(kRecentGroup));
    for (int i = 0; i < m_recentFiles.size(); ++i)
        settings.setValue(QStringLiteral("File%1").arg(i + 1), m_recentFiles[i]);
}

int CWinApp::GetProfileInt(const QString& section, const QString& entry, int nDefault) const {
    QSettings settings(m_strRegistryKey, m_strAppName);
    bool ok = false;
    const int value = settings.value(section + QLatin1Char('/') + entry).toInt(&ok);
    return ok ? value : nDefault;
}

void CWinApp::WriteProfileInt(const QString& section, const QString& entry, int nValue) {
    QSettings settings(m_strRegistryKey, m_strAppName);
    settings.setValue(section + QLatin1Char('/') + entry, nValue);
}

QString CWinApp::GetProfileString(const QString& section, const QString& entry) const {
    const QSettings settings(m_strRegistryKey, m_strAppName);
    return settings.value(section + QLatin1Char('/') + entry).toString();
}

void CWinApp::WriteProfileString(const QString& section, const QString& entry, const QString& value) {
    QSettings settings(m_strRegistryKey, m_strAppName);
    settings.setValue(section + QLatin1Char('/') + entry, value);
}

void CWinApp::AddToRecentFileList(const QString& path) {
    if (m_nMaxMRU <= 0)
        return;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_recentFiles.removeAll(absolute);
    m_recentFiles.prepend(absolute);
    while (m_recentFiles.size() > m_nMaxMRU)
        m_recentFiles.removeLast();
    SaveRecentFiles();
    if (m_pMainWnd)
        m_pMainWnd->SetRecentFiles(m_recentFiles);
}

void CWinApp::AddDocTemplate(std::unique_ptr<CSingleDocTemplate> pTemplate) {
    m_pTemplate = std::move(pTemplate);
}

void CWinApp::SetDocReporter(DocReporter* pReporter) {
    m_pReporter = pReporter ? pReporter : m_pWindowReporter.get();
    if (m_pDocument)
        m_pDocument->SetReporter(m_pReporter);
}

void CWinApp::SetArguments(const QStringList& args) {
    std::vector<std::string> bytes;
    for (const QString& arg : args)
        bytes.push_back(QFile::encodeName(arg).toStdString());
    m_arguments = std::move(bytes);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
    std::vector<std::string> args;
    if (m_arguments) {
        args = *m_arguments;
    } else {
        for (const QString& arg : QCoreApplication::arguments().mid(1))
            args.push_back(QFile::encodeName(arg).toStdString());
    }
    bool bOptionsEnded = false;
    for (const std::string& arg : args) {
        if (!bOptionsEnded && arg == "--") {
            bOptionsEnded = true;
        } else if (!bOptionsEnded && (arg == "--help" || arg == "-h")) {
            info.m_nShellCommand = CCommandLineInfo::Help;
            return;
        } else if (!bOptionsEnded && arg == "--version") {
            info.m_nShellCommand = CCommandLineInfo::Version;
            return;
        } else if (!bOptionsEnded && arg.starts_with('-') && arg.size() > 1) {
            info.m_nShellCommand = CCommandLineInfo::Invalid;
            info.m_strError = QStringLiteral("不明なオプションです: %1").arg(QFile::decodeName(arg.c_str()));
            return;
        } else if (info.m_nShellCommand == CCommandLineInfo::FileOpen) {
            info.m_nShellCommand = CCommandLineInfo::Invalid;
            info.m_strError = QStringLiteral("開けるファイルは一つだけです。");
            return;
        } else {
            info.m_nShellCommand = CCommandLineInfo::FileOpen;
            info.m_strFileName = arg;
        }
    }
}

QString CWinApp::UsageText() const {
    return QStringLiteral("使い方: marlo [ファイル]\n"
                          "電話帳を開きます。ファイルを指定しないときは、作業ディレクトリの電話帳を開きます。\n"
                          "\n"
                          "  --help     この説明を表示して終了します\n"
                          "  --version  バージョン情報を表示して終了します\n");
}

bool CWinApp::ProcessShellCommand(const CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
    case CCommandLineInfo::Help:
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        m_nExitCode = 0;
        return false;
    case CCommandLineInfo::Version:
        std::fputs(m_strVersionText.toLocal8Bit().constData(), stdout);
        m_nExitCode = 0;
        return false;
    case CCommandLineInfo::Invalid:
        std::fputs(
            (QStringLiteral("marlo: ") + info.m_strError + QLatin1Char('\n') + UsageText()).toLocal8Bit().constData(),
            stderr);
        m_nExitCode = 2;
        return false;
    case CCommandLineInfo::FileOpen:
        m_nExitCode = 1;
        return OpenDocumentPath(info.m_strFileName) == CDocument::OpenResult::Opened;
    case CCommandLineInfo::FileNew:
        break;
    }
    m_nExitCode = 1;
    if (!CreateWindows())
        return false;
    if (!m_pDocument->OnNewDocument()) {
        DestroyWindows();
        return false;
    }
    InitialUpdate();
    return true;
}

bool CWinApp::CreateWindows() {
    if (m_pDocument)
        return true;
    if (!m_pTemplate)
        return false;
    m_pDocument = m_pTemplate->m_docFactory();
    m_pWindowReporter = std::make_unique<WindowReporter>(*this);
    if (!m_pReporter)
        m_pReporter = m_pWindowReporter.get();
    m_pDocument->SetReporter(m_pReporter);
    m_pDocCommands = std::make_unique<DocCommands>(*m_pDocument);
    m_pMainWnd = m_pTemplate->m_frameFactory();
    m_pView = m_pTemplate->m_viewFactory(*m_pDocument);
    m_pMainWnd->SetActiveView(m_pView);
    m_pMainWnd->SetDocumentTarget(m_pDocCommands.get());
    m_pMainWnd->SetHost(FrameHost{
        .m_pCommands = this,
        .m_fnSaveAllModified = [this] { return SaveAllModified(); },
        .m_fnOpenDroppedFile = [this](const QString& path) { OpenDocumentFile(path); },
        .m_fnGetPrinter = [this]() -> QPrinter& { return GetPrinter(); },
        .m_fnActivated = [this] { m_pDocument->OfferReloadIfChanged(); },
    });
    m_pMainWnd->SetRecentFiles(m_recentFiles);
    return true;
}

void CWinApp::DestroyWindows() {
    // The windows go first: the view refers to the document.
    m_pMainWnd.reset();
    m_pView = nullptr;
    m_pDocCommands.reset();
    m_pDocument.reset();
}

void CWinApp::InitialUpdate() {
    m_pView->OnInitialUpdate();
    m_bShownModified = m_pDocument->IsModified();
    m_strShownTitle = QFile::decodeName(m_pDocument->GetTitle().c_str());
    m_pMainWnd->UpdateFrameTitle(m_strShownTitle);
}

void CWinApp::OnDocumentChanged() {
    if (!m_pDocument || !m_pMainWnd)
        return;
    // A change of the modified flag leaves the caption alone; setting the title updates it.
    const bool bModified = m_pDocument->IsModified();
    const QString title = QFile::decodeName(m_pDocument->GetTitle().c_str());
    if (bModified != m_bShownModified && title == m_strShownTitle) {
        m_bShownModified = bModified;
        return;
    }
    m_bShownModified = bModified;
    m_strShownTitle = title;
    m_pMainWnd->UpdateFrameTitle(title);
}

CDocument::OpenResult CWinApp::OpenDocumentFile(const QString& path) {
    const std::optional<std::string> bytes = PathFromToolkit(path, "開けません", [this](const std::string& message) {
        if (m_pReporter)
            m_pReporter->ReportError(message);
        else
            AfxMessageBox(m_pMainWnd.get(), QString::fromStdString(message));
    });
    if (!bytes)
        return CDocument::OpenResult::Failed;
    return OpenDocumentPath(*bytes);
}

CDocument::OpenResult CWinApp::OpenDocumentPath(const std::string& path) {
    const bool bFirst = !m_pDocument;
    if (bFirst && !CreateWindows())
        return CDocument::OpenResult::Failed;
    const CDocument::OpenResult result = m_pDocument->OpenDocumentFile(path, bFirst);
    if (bFirst && result != CDocument::OpenResult::Opened) {
        // Windows made for this file go with it; the default phone book never takes its
        // place, nor its place in the recent-file list.
        DestroyWindows();
        return result;
    }
    if (result != CDocument::OpenResult::Cancelled)
        InitialUpdate();
    return result;
}

bool CWinApp::SaveAllModified() {
    return !m_pDocument || m_pDocument->SaveModified();
}

std::optional<QString> CWinApp::PromptOpenFileName() {
    QFileDialog dialog(m_pMainWnd.get(), QStringLiteral("開く"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(AllFilesFilter());
    dialog.setDirectory(QDir::currentPath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void CWinApp::OnFileNew() {
    if (m_pDocument && m_pDocument->NewDocument())
        InitialUpdate();
}

void CWinApp::OnFileOpen() {
    if (m_pDocument && m_pDocument->ReportIfBusy())
        return;
    if (const std::optional<QString> path = PromptOpenFileName())
        OpenDocumentFile(*path);
}

void CWinApp::OnOpenRecentFile(int nId) {
    const int index = nId - ID_FILE_MRU_FILE1;
    if (index < 0 || index >= m_recentFiles.size())
        return;
    const QString path = m_recentFiles[index];
    // A file that cannot be opened any more leaves the list.
    if (OpenDocumentFile(path) == CDocument::OpenResult::Failed) {
        m_recentFiles.removeAll(path);
        SaveRecentFiles();
        if (m_pMainWnd)
            m_pMainWnd->SetRecentFiles(m_recentFiles);
    }
}

void CWinApp::OnFilePrintSetup() {
    QPageSetupDialog dialog(&GetPrinter(), m_pMainWnd.get());
    dialog.exec();
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd)
        m_pMainWnd->close();
}

QPrinter& CWinApp::GetPrinter() {
    if (!m_pPrinter)
        m_pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_pPrinter;
}
