#pragma once
// A modal or modeless dialog built from a template.

#include "CmdTarget.h"
#include "DialogTemplate.h"

#include <QDialog>

class CDataExchange;

class CDialog : public QDialog, public CCmdTarget {
    Q_OBJECT
public:
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;

    CDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);

    /// Runs the dialog modally: kIdOk when OnOK ended it, kIdCancel otherwise.
    int DoModal();

protected:
    virtual bool OnInitDialog();
    /// Moves the controls' values into the members; the dialog stays open when one is refused.
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange&) {}
    bool UpdateData(bool bSaveAndValidate = true);
    void EndDialog(int nResult) { done(nResult); }

    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

    QWidget* m_pFirstTabStop = nullptr;
};
