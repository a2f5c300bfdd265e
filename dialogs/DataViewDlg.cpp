#include "DataViewDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CDataViewDlg::CDataViewDlg(QWidget* pParent) : CDialog(DataViewTemplate(), pParent) {}

void CDataViewDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_VIEW_KANJI, m_strKanji);
    DDX_Text(dx, IDC_VIEW_MEMO, m_strMemo);
    DDX_Text(dx, IDC_VIEW_PHONE, m_strPhone);
    DDX_Text(dx, IDC_VIEW_ROMAJI, m_strRomaji);
}
