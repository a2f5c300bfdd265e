#pragma once
// The main frame: menu and accelerator tables, the command router, the
// recent-file entries of the File menu, dropped files and closing.

#include "CmdTarget.h"
#include "FrameHost.h"

#include <QKeyCombination>
#include <QMainWindow>

#include <span>

class QMenu;

namespace MenuFlag {
inline constexpr unsigned Separator = 1u << 0;
inline constexpr unsigned Grayed = 1u << 1;
inline constexpr unsigned RecentFiles = 1u << 2; // placeholder replaced by the recent-file list
} // namespace MenuFlag

struct MenuItemTemplate {
    const char* pszText; // UTF-8; "\t" separates the shortcut text
    int nId;
    unsigned nFlags;
};

struct MenuTemplate {
    const char* pszText; // the pop-up's title
    std::span<const MenuItemTemplate> items;
};

struct AccelTemplate {
    QKeyCombination key;
    int nId;
};

class CFrameWnd : public QMainWindow, public CCmdTarget {
    Q_OBJECT
public:
    CFrameWnd();

    /// Builds the menu bar and the accelerators, sets the icon and the title.
    void LoadFrame(std::span<const MenuTemplate> menu, std::span<const AccelTemplate> accel, const QIcon& icon,
                   const QString& title);
    /// The view fills the frame; a view that answers commands is offered each one first.
    void SetActiveView(QWidget* pView);
    /// The document's commands are offered after the view's and before the frame's.
    void SetDocumentTarget(const CCmdTarget* pTarget) { m_pDocTarget = pTarget; }
    /// The application: last in the command chain; it saves on close, opens dropped
    /// files and keeps the printer.
    void SetHost(FrameHost host) { m_host = std::move(host); }
    const FrameHost& GetHost() const { return m_host; }

    /// Runs a command as a menu item or an accelerator would: the first of view, document,
    /// frame and application with a handler runs it, unless its update handler disables it.
    /// False when nobody ran it.
    bool RouteCommand(int nId);
    /// Asks the same chain for the state of a command's menu item.
    CCmdUI QueryCommand(int nId) const;

    /// Shows the recent files in the File menu, replacing the greyed placeholder.
    void SetRecentFiles(const QStringList& paths);
    /// "<document title> - <application title>", or the application title alone.
    void UpdateFrameTitle(const QString& docTitle);
    void RecalcLayout();
    /// The menu item of command `nId`, or null.
    QAction* FindMenuItem(int nId) const;
    /// The widget of `window` that has the focus when it is a text box with the edit
    /// command `slot` ("cut", "copy", "paste", "undo", "redo"); else null.
    static QWidget* TextBoxWithFocus(const QWidget* window, const char* slot);
    /// Runs the edit command `slot` on that text box; false when there is none.
    static bool SendToTextBox(const QWidget* window, const char* slot);

protected:
    /// Asks the application to save; once the close goes on, the dialogs the frame
    /// owns close too, each as by its Cancel.
    void closeEvent(QCloseEvent* event) override;
    /// Tells the host when the frame becomes the active window, after the event is done.
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void UpdateMenu(QMenu* menu);

    const CCmdTarget* m_pView = nullptr;
    const CCmdTarget* m_pDocTarget = nullptr;
    FrameHost m_host;
    QString m_strAppTitle;
    QMenu* m_pRecentMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;
    QList<QAction*> m_recentActions;
};
