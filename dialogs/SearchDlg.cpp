#include "SearchDlg.h"

#include "platform/ui/DataExchange.h"
#include "res/Dialogs.h"
#include "res/Resource.h"

CSearchDlg::CSearchDlg(QWidget* pParent) : CDialog(FullTextSearchTemplate(), pParent) {}

void CSearchDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, IDC_SEARCH_KEY1, m_strKey1);
    DDX_Text(dx, IDC_SEARCH_KEY2, m_strKey2);
    DDX_Text(dx, IDC_SEARCH_KEY3, m_strKey3);
}
