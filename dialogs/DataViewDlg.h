#pragma once

#include "platform/ui/Dialog.h"

#include <string>

/// "データ表示", template 134: one entry to look at. Its boxes can be edited, but
/// nothing typed there goes anywhere.
class CDataViewDlg : public CDialog {
    Q_OBJECT
public:
    explicit CDataViewDlg(QWidget* pParent = nullptr);

    std::string m_strKanji;
    std::string m_strMemo;
    std::string m_strPhone;
    std::string m_strRomaji;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};
