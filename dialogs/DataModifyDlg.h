#pragma once

#include "platform/ui/Dialog.h"

#include <string>

/// "データ修正", template 133: one entry to change. The caller fills the members
/// and reads them back after OK; OK passes only with a valid romaji name.
class CDataModifyDlg : public CDialog {
    Q_OBJECT
public:
    explicit CDataModifyDlg(QWidget* pParent = nullptr);

    std::string m_strRomaji;
    std::string m_strPhone;
    std::string m_strKanji;
    std::string m_strMemo;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
};
