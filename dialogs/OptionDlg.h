#pragma once

#include "platform/ui/Dialog.h"

/// "オプション", template 135: the hit limit of the name search, or every hit.
/// The caller fills the members and reads them back after OK.
class COptionDlg : public CDialog {
    Q_OBJECT
public:
    explicit COptionDlg(QWidget* pParent = nullptr);

    int m_bShowAll = 0;  // 1: list every hit
    int m_nMaxCount = 0; // the limit typed, 0 to 9999

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void OnShowAllClicked();
};
