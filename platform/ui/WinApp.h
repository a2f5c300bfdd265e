#pragma once
// The application object: profile settings with the recent-file list, the
// single-document template, the command line and the file commands.

#include "CmdTarget.h"

#include "platform/Document.h"

#include <QPrinter>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CFormView;
class CFrameWnd;

/// Binds the one document, the main frame and the view.
class CSingleDocTemplate {
public:
    using DocFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CFrameWnd>()>;
    using ViewFactory = std::function<CFormView*(CDocument&)>; // the frame owns the view

    CSingleDocTemplate(int nIdResource, DocFactory doc, FrameFactory frame, ViewFactory view)
        : m_nIdResource(nIdResource), m_docFactory(std::move(doc)), m_frameFactory(std::move(frame)),
          m_viewFactory(std::move(view)) {}

    int m_nIdResource;
    DocFactory m_docFactory;
    FrameFactory m_frameFactory;
    ViewFactory m_viewFactory;
};

struct CCommandLineInfo {
    enum ShellCommand { FileNew, FileOpen, Help, Version, Invalid };
    ShellCommand m_nShellCommand = FileNew;
    std::string m_strFileName; // the file's path, its bytes as given
    QString m_strError;        // what was wrong with an invalid command line
};

class CWinApp : public CCmdTarget {
public:
    /// `versionText` is what --version prints.
    CWinApp(const QString& appName, const QString& versionText);
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual bool InitInstance() = 0;
    /// The process's exit code when InitInstance fails (0 after --help or --version).
    int ExitCode() const { return m_nExitCode; }

    const QString& AppName() const { return m_strAppName; }
    CFrameWnd* GetMainWnd() const { return m_pMainWnd.get(); }
    CDocument* GetDocument() const { return m_pDocument.get(); }
    CFormView* GetView() const { return m_pView; }
    /// The printer of print setup and printing, made when first needed.
    QPrinter& GetPrinter();
    const QStringList& GetRecentFiles() const { return m_recentFiles; }
    /// A number kept in the profile store, under `section`; `nDefault` when there is none.
    int GetProfileInt(const QString& section, const QString& entry, int nDefault) const;
    void WriteProfileInt(const QString& section, const QString& entry, int nValue);
    /// A text kept in the profile store; empty when there is none.
    QString GetProfileString(const QString& section, const QString& entry) const;
    void WriteProfileString(const QString& section, const QString& entry, const QString& value);

    /// Opens `path` as File Open does, creating the windows when there are none yet.
    /// `path` comes from the toolkit (file dialog, drop, recent-file list): a name whose
    /// bytes were not UTF-8 reaches it with U+FFFD in their place, and is refused with a
    /// message rather than taken for the name of another file.
    CDocument::OpenResult OpenDocumentFile(const QString& path);
    /// The same for a path given as the file system's bytes (the command line).
    CDocument::OpenResult OpenDocumentPath(const std::string& path);
    /// Before the main window closes: asks the document to save its changes; false when the user cancels.
    virtual bool SaveAllModified();
    void AddToRecentFileList(const QString& path);
    /// Puts the document's title in the caption when it was set (not for a change of the modified flag).
    void OnDocumentChanged();

    /// The command line after the program's name; by default the process's own as the
    /// toolkit decoded it. main() hands the bytes of argv instead, so that a file name
    /// that is not UTF-8 stays the name of its file.
    void SetArguments(const QStringList& args);
    void SetArgumentBytes(std::vector<std::string> args) { m_arguments = std::move(args); }

    /// Replaces the window reporter, e.g. by a recorder in tests (null restores it).
    void SetDocReporter(DocReporter* pReporter);

    /// Where the file dialogs start and what they offer.
    std::optional<QString> PromptOpenFileName();

    // The framework's command handlers.
    void OnFileNew();
    void OnFileOpen();
    void OnFilePrintSetup();
    void OnAppExit();
    void OnOpenRecentFile(int nId);

protected:
    /// The program speaks Japanese whatever the user's locale, in the toolkit's own
    /// dialogs (files, printing, messages) too.
    void LoadJapaneseTranslations();
    /// Every window takes the dialog font, and message boxes plain push buttons.
    void SetDialogFontAndStyle();
    /// The organisation under which the profile store keeps the program's settings.
    void SetRegistryKey(const QString& key);
    /// Copies the program's settings from under the organisation `oldKey` of an earlier
    /// version, once: while the settings under the registry key are still empty. The old
    /// ones stay where they are.
    void CopyProfileFrom(const QString& oldKey);
    void LoadStdProfileSettings(int nMaxMRU);
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> pTemplate);
    void ParseCommandLine(CCommandLineInfo& info) const;
    bool ProcessShellCommand(const CCommandLineInfo& info);
    /// The text of --help.
    virtual QString UsageText() const;

    int m_nExitCode = 1;

private:
    bool CreateWindows();
    void DestroyWindows();
    void InitialUpdate();
    void SaveRecentFiles() const;

    QString m_strAppName;
    QString m_strVersionText;
    std::optional<std::vector<std::string>> m_arguments;
    QString m_strRegistryKey;
    int m_nMaxMRU = 0;
    QStringList m_recentFiles;
    std::unique_ptr<CSingleDocTemplate> m_pTemplate;
    std::unique_ptr<CDocument> m_pDocument;
    std::unique_ptr<CFrameWnd> m_pMainWnd;
    CFormView* m_pView = nullptr;
    std::unique_ptr<DocReporter> m_pWindowReporter;
    DocReporter* m_pReporter = nullptr;
    std::unique_ptr<CCmdTarget> m_pDocCommands;
    std::unique_ptr<QTranslator> m_pTranslator;
    QString m_strShownTitle;
    bool m_bShownModified = false;
    std::unique_ptr<QPrinter> m_pPrinter;
};
