#pragma once
// A modal or modeless dialog built from a template.

#include "AfxRes.h"
#include "CmdTarget.h"
#include "DialogTemplate.h"

#include <QDialog>

class CDataExchange;

class CDialog : public QDialog, public CCmdTarget {
    Q_OBJECT
public:
    /// Without a parent the dialog belongs to the program's active window: a box
    /// opened from inside a modal dialog belongs to that dialog.
    CDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);

    /// Runs the dialog modally: IDOK when OnOK ended it, IDCANCEL otherwise.
    int DoModal();
    /// Shows the dialog modeless: OnInitDialog, then the window, the first tab stop
    /// taking the focus when OnInitDialog answers true.
    bool Create();
    /// Closes a modeless dialog; PostNcDestroy follows once the window is gone.
    void DestroyWindow();

protected:
    virtual bool OnInitDialog();
    /// Moves the controls' values into the members; the dialog stays open when one is refused.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange&) {}
    /// The last call DestroyWindow makes. A dialog that deletes itself does it here
    /// with deleteLater(): DestroyWindow usually runs inside one of its own handlers.
    virtual void PostNcDestroy() {}
    bool UpdateData(bool bSaveAndValidate = true);
    void EndDialog(int nResult) { done(nResult); }

    // The OK button, and Enter where no other button has the focus, end in OnOK; Escape
    // and the close box in OnCancel. Enter on a focused button presses that button.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }
    void keyPressEvent(QKeyEvent* event) override;

    QWidget* m_pFirstTabStop = nullptr;

private:
    bool m_bDestroyed = false;
};
