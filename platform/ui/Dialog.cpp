#include "Dialog.h"

#include "DataExchange.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>

namespace {
// A dialog without a parent belongs to the window the user was working in.
QWidget* OwnerOf(QWidget* parent) {
    if (parent)
        return parent;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return QApplication::activeModalWidget();
}
} // namespace

CDialog::CDialog(const DialogTemplate& tpl, QWidget* parent) : QDialog(OwnerOf(parent)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_pFirstTabStop = BuildControls(this, tpl);
    // A button with the focus answers Enter and looks the default while it has it; the
    // template's default button takes the part back when the focus moves to a box.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(true);
    setFixedSize(size());
    if (auto* ok = GetDlgItem<QPushButton>(this, IDOK))
        connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = GetDlgItem<QPushButton>(this, IDCANCEL))
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
}

int CDialog::DoModal() {
    // As the framework does: a true answer leaves the focus to the first tab stop.
    if (OnInitDialog() && m_pFirstTabStop)
        m_pFirstTabStop->setFocus();
    return exec() == IDOK ? IDOK : IDCANCEL;
}

bool CDialog::Create() {
    m_bDestroyed = false;
    const bool bFocusFirst = OnInitDialog();
    show();
    raise();
    activateWindow();
    if (bFocusFirst && m_pFirstTabStop)
        m_pFirstTabStop->setFocus();
    return true;
}

void CDialog::DestroyWindow() {
    if (m_bDestroyed)
        return;
    m_bDestroyed = true;
    hide();
    // Nothing of this object is touched after it: PostNcDestroy may end its life.
    PostNcDestroy();
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    // Enter with no default button is the OK command, as in the framework's dialogs.
    const bool bEnter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (bEnter && !(event->modifiers() & ~Qt::KeypadModifier)) {
        const QList<QPushButton*> buttons = findChildren<QPushButton*>();
        if (std::none_of(buttons.begin(), buttons.end(),
                         [](QPushButton* b) { return b->isDefault() && b->isVisible(); })) {
            event->accept();
            OnOK();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    return ::UpdateData(this, bSaveAndValidate, [this](CDataExchange& dx) { DoDataExchange(dx); });
}
