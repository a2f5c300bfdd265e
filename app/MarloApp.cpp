#include "MarloApp.h"

#include "AboutDlg.h"
#include "MainFrame.h"

#include "data/MarloDoc.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/MessageBox.h"
#include "res/Icons.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "res/Version.h"
#include "view/MarloView.h"

#include <QApplication>

namespace {

QString VersionText() {
    return QStringLiteral("%1 %2.%3.%4.%5\n")
        .arg(QString::fromUtf8(kVersion.pszInternalName))
        .arg(kVersion.fileVersion[0])
        .arg(kVersion.fileVersion[1])
        .arg(kVersion.fileVersion[2])
        .arg(kVersion.fileVersion[3]);
}

} // namespace

CMarloApp::CMarloApp() : CWinApp(LoadResString(AFX_IDS_APP_TITLE), VersionText()) {
    OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
}

bool CMarloApp::InitInstance() {
    // The toolkit's standard dialogs in Japanese, the dialog font everywhere, and the
    // icon of the About box.
    LoadJapaneseTranslations();
    SetDialogFontAndStyle();
    SetIconResourceLoader(&LoadResIcon);
    // Boxes shown before the main window, which have no parent, carry the program's icon too.
    QApplication::setWindowIcon(AppIcon());

    // The settings live under the program's own name; those that earlier versions kept
    // under the framework's default organisation come along at the first start.
    SetRegistryKey(QStringLiteral("Marlo"));
    CopyProfileFrom(QStringLiteral("Local AppWizard-Generated Applications"));
    LoadStdProfileSettings(4);

    AddDocTemplate(std::make_unique<CSingleDocTemplate>(
        IDR_MAINFRAME, [] { return std::make_unique<CMarloDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
        [this](CDocument& doc) { return new CMarloView(static_cast<CMarloDoc&>(doc), this); }));

    // The shell learns about the program from its installed .desktop entry, not at every start.

    CCommandLineInfo cmdInfo;
    ParseCommandLine(cmdInfo);
    if (!ProcessShellCommand(cmdInfo))
        return false;

    GetMainWnd()->show();
    GetMainWnd()->setWindowTitle(AppName());
    GetMainWnd()->setAcceptDrops(true);
    return true;
}

bool CMarloApp::SaveAllModified() {
    auto* view = static_cast<CMarloView*>(GetView());
    if (view && view->m_sync.IsRunning()) {
        if (!AfxYesNoWarning(GetMainWnd(),
                             QStringLiteral("電話帳をサーバーと同期しています。同期を中止して閉じますか?\n"
                                            "送り終えていない変更は次の同期で送ります。")))
            return false;
        view->m_sync.Cancel();
    }
    return CWinApp::SaveAllModified();
}

void CMarloApp::OnAppAbout() {
    CAboutDlg aboutDlg;
    aboutDlg.DoModal();
}
