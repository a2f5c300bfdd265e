#pragma once

#include "platform/ui/Dialog.h"
#include "res/Dialogs.h"

#include <QString>

/// "インポートの結果": how many entries a contacts import added from which files, and
/// a list of what was skipped, left out or left without a romaji name. A sync's report
/// ("同期の結果", SyncReportTemplate) is shown the same way.
class CImportReportDlg : public CDialog {
    Q_OBJECT
public:
    explicit CImportReportDlg(QWidget* pParent = nullptr, const DialogTemplate& tpl = ImportReportTemplate());

    QString m_strSummary; ///< "「phone.vcf」から 2 件を追加しました。"
    QString m_strDetails; ///< one statement a line; empty when everything was carried

protected:
    bool OnInitDialog() override;
};
