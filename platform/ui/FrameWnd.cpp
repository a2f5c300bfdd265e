#include "FrameWnd.h"

#include "AfxRes.h"
#include "Dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>

namespace {
constexpr const char* kCommandId = "marloCommandId";

int CommandOf(const QAction* action) {
    const QVariant id = action->property(kCommandId);
    return id.isValid() ? id.toInt() : 0;
}

// A dropped file is opened where it lies, never taken from there: the drop is a copy
// whatever the source proposes (a drag with Shift proposes a move).
bool AcceptAsCopy(QDropEvent* event) {
    if (!event->mimeData()->hasUrls() || !(event->possibleActions() & Qt::CopyAction))
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

CFrameWnd::CFrameWnd() {
    // Cut, copy, paste, undo and redo act on the text box that has the focus.
    OnCommand(ID_EDIT_CUT, [this] { SendToTextBox(this, "cut"); });
    OnCommand(ID_EDIT_COPY, [this] { SendToTextBox(this, "copy"); });
    OnCommand(ID_EDIT_PASTE, [this] { SendToTextBox(this, "paste"); });
    OnCommand(ID_EDIT_UNDO, [this] { SendToTextBox(this, "undo"); });
    OnCommand(ID_EDIT_REDO, [this] { SendToTextBox(this, "redo"); });
}

void CFrameWnd::LoadFrame(std::span<const MenuTemplate> menu, std::span<const AccelTemplate> accel, const QIcon& icon,
                          const QString& title) {
    m_strAppTitle = title;
    setWindowIcon(icon);
    setWindowTitle(title);
    for (const MenuTemplate& popup : menu) {
        QMenu* pMenu = menuBar()->addMenu(QString::fromUtf8(popup.pszText));
        connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu] { UpdateMenu(pMenu); });
        for (const MenuItemTemplate& item : popup.items) {
            if (item.nFlags & MenuFlag::Separator) {
                pMenu->addSeparator();
                continue;
            }
            QAction* action = pMenu->addAction(QString::fromUtf8(item.pszText));
            action->setProperty(kCommandId, item.nId);
            if (item.nFlags & MenuFlag::Grayed)
                action->setEnabled(false);
            if (item.nFlags & MenuFlag::RecentFiles) {
                m_pRecentMenu = pMenu;
                m_pRecentPlaceholder = action;
            } else {
                const int id = item.nId;
                connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
            }
        }
    }
    for (const AccelTemplate& entry : accel) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(entry.key));
        action->setShortcutContext(Qt::WindowShortcut);
        const int id = entry.nId;
        connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        addAction(action);
    }
}

void CFrameWnd::SetActiveView(QWidget* pView) {
    m_pView = dynamic_cast<const CCmdTarget*>(pView);
    setCentralWidget(pView);
}

CCmdUI CFrameWnd::QueryCommand(int nId) const {
    CCmdUI ui(nId);
    const CCmdTarget* chain[] = {m_pView, m_pDocTarget, this, m_host.m_pCommands};
    for (const CCmdTarget* target : chain) {
        if (target && target->OnUpdateCmdMsg(ui))
            return ui;
    }
    // Nobody answers the command: its menu item is greyed.
    ui.m_bEnabled = false;
    return ui;
}

bool CFrameWnd::RouteCommand(int nId) {
    if (!QueryCommand(nId).m_bEnabled)
        return false;
    const CCmdTarget* chain[] = {m_pView, m_pDocTarget, this, m_host.m_pCommands};
    for (const CCmdTarget* target : chain) {
        if (target && target->OnCmdMsg(nId))
            return true;
    }
    return false;
}

void CFrameWnd::UpdateMenu(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        const int id = CommandOf(action);
        if (id == 0 || action == m_pRecentPlaceholder)
            continue;
        const CCmdUI ui = QueryCommand(id);
        action->setEnabled(ui.m_bEnabled);
        action->setCheckable(ui.m_bChecked || action->isCheckable());
        action->setChecked(ui.m_bChecked);
    }
}

QAction* CFrameWnd::FindMenuItem(int nId) const {
    for (QAction* top : menuBar()->actions()) {
        if (!top->menu())
            continue;
        for (QAction* action : top->menu()->actions()) {
            if (CommandOf(action) == nId)
                return action;
        }
    }
    return nullptr;
}

void CFrameWnd::SetRecentFiles(const QStringList& paths) {
    if (!m_pRecentMenu)
        return;
    qDeleteAll(m_recentActions);
    m_recentActions.clear();
    m_pRecentPlaceholder->setVisible(paths.isEmpty());
    const QString currentDir = QDir::currentPath();
    for (int i = 0; i < paths.size(); ++i) {
        // As the framework shows them: the file name alone for files of the current directory.
        const QFileInfo info(paths[i]);
        QString shown = info.absolutePath() == currentDir ? info.fileName() : QDir::toNativeSeparators(paths[i]);
        shown.replace(QLatin1Char('&'), QLatin1String("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), m_pRecentMenu);
        const int id = ID_FILE_MRU_FILE1 + i;
        action->setProperty(kCommandId, id);
        connect(action, &QAction::triggered, this, [this, id] { RouteCommand(id); });
        m_pRecentMenu->insertAction(m_pRecentPlaceholder, action);
        m_recentActions.append(action);
    }
}

void CFrameWnd::UpdateFrameTitle(const QString& docTitle) {
    setWindowTitle(docTitle.isEmpty() ? m_strAppTitle : docTitle + QStringLiteral(" - ") + m_strAppTitle);
}

void CFrameWnd::RecalcLayout() {
    if (layout())
        layout()->activate();
}

QWidget* CFrameWnd::TextBoxWithFocus(const QWidget* window, const char* slot) {
    // Line edits and text boxes all have these slots; other controls ignore the keys.
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != window ||
        focus->metaObject()->indexOfSlot(QByteArray(slot).append("()").constData()) < 0)
        return nullptr;
    return focus;
}

bool CFrameWnd::SendToTextBox(const QWidget* window, const char* slot) {
    QWidget* box = TextBoxWithFocus(window, slot);
    if (box)
        QMetaObject::invokeMethod(box, slot);
    return box != nullptr;
}

void CFrameWnd::closeEvent(QCloseEvent* event) {
    if (m_host.m_fnSaveAllModified && !m_host.m_fnSaveAllModified()) {
        event->ignore();
        return;
    }
    // A dialog opened from another closes before it; a dialog may delete others as it goes.
    const QList<CDialog*> found = findChildren<CDialog*>();
    QList<QPointer<CDialog>> dialogs(found.rbegin(), found.rend());
    for (const QPointer<CDialog>& dialog : dialogs) {
        if (dialog && dialog->isVisible())
            dialog->close();
    }
    event->accept();
}

void CFrameWnd::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // Later, not inside the event: the host may ask a question in a box of its own.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_host.m_fnActivated)
        QTimer::singleShot(0, this, [this] {
            if (isActiveWindow() && m_host.m_fnActivated)
                m_host.m_fnActivated();
        });
}

void CFrameWnd::dragEnterEvent(QDragEnterEvent* event) {
    AcceptAsCopy(event);
}

void CFrameWnd::dragMoveEvent(QDragMoveEvent* event) {
    AcceptAsCopy(event);
}

void CFrameWnd::dropEvent(QDropEvent* event) {
    // The first local file of the drop opens as by File Open. Its name arrives as text:
    // the application's one way from text to the file system's bytes takes it from here.
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            if (!AcceptAsCopy(event))
                return;
            activateWindow();
            if (m_host.m_fnOpenDroppedFile)
                m_host.m_fnOpenDroppedFile(url.toLocalFile());
            return;
        }
    }
}
