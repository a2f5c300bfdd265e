#include "Dialog.h"

#include "DataExchange.h"
#include "FrameWnd.h"
#include "WinApp.h"

#include <QPushButton>

namespace {
// A dialog without a parent belongs to the main window, as the framework does it.
QWidget* OwnerOf(QWidget* parent) {
    if (parent)
        return parent;
    return AfxGetApp() ? AfxGetApp()->GetMainWnd() : nullptr;
}
} // namespace

CDialog::CDialog(const DialogTemplate& tpl, QWidget* parent) : QDialog(OwnerOf(parent)) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    m_pFirstTabStop = BuildControls(this, tpl);
    setFixedSize(size());
    if (auto* ok = GetDlgItem<QPushButton>(this, kIdOk))
        connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = GetDlgItem<QPushButton>(this, kIdCancel))
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
}

int CDialog::DoModal() {
    // As the framework does: a true answer leaves the focus to the first tab stop.
    if (OnInitDialog() && m_pFirstTabStop)
        m_pFirstTabStop->setFocus();
    return exec() == kIdOk ? kIdOk : kIdCancel;
}

bool CDialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void CDialog::OnOK() {
    if (UpdateData(true))
        EndDialog(kIdOk);
}

void CDialog::OnCancel() {
    EndDialog(kIdCancel);
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    return ::UpdateData(this, bSaveAndValidate, [this](CDataExchange& dx) { DoDataExchange(dx); });
}
