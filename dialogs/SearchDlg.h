#pragma once

#include "platform/ui/Dialog.h"

#include <string>

/// "全文検索", template 142: up to three keys, empty at every run, taken as typed.
class CSearchDlg : public CDialog {
    Q_OBJECT
public:
    explicit CSearchDlg(QWidget* pParent = nullptr);

    std::string m_strKey1;
    std::string m_strKey2;
    std::string m_strKey3;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
