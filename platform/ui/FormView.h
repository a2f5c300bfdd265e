#pragma once
// A view whose client area is a form built from a dialog template, on a
// scroll area: the controls keep their template places, a window smaller than
// the form shows scroll bars, and a larger one gives its extra room to the one
// control that grows. The view also runs the print job.

#include "CmdTarget.h"
#include "DialogTemplate.h"

#include <QRect>
#include <QScrollArea>

class CDataExchange;
class CFrameWnd;
class QPainter;
class QPrinter;

/// What the view's printing hooks learn about the job.
struct CPrintInfo {
    QPrinter* m_pPrinter = nullptr;
    int m_nMaxPage = 1; // set by OnBeginPrinting
    int m_nCurPage = 1; // the page OnPrint draws
    QRect m_rectDraw;   // printable area of the page, in device pixels
    bool m_bPreview = false;
};

class CFormView : public QScrollArea, public CCmdTarget {
    Q_OBJECT
public:
    explicit CFormView(const DialogTemplate& tpl, QWidget* parent = nullptr);

    /// Called for every new or opened document: data exchange to the controls.
    virtual void OnInitialUpdate();
    CFrameWnd* GetParentFrame() const;
    /// Makes the frame's client area as large as the form; with `bShrinkOnly`
    /// a smaller frame is not enlarged.
    void ResizeParentToFit(bool bShrinkOnly = true);
    /// The form's size as the template makes it: the view scrolls when it is smaller.
    QSize GetTotalSize() const { return m_sizeTotal; }
    /// Control `nId` takes the extra width and height of a view larger than the form;
    /// every other control keeps its template place.
    void SetGrowingControl(int nId);
    QWidget* GetForm() const { return m_pForm; }
    /// The control with ID `nId` on the form.
    template <class T = QWidget> T* GetDlgItem(int nId) const { return ::GetDlgItem<T>(m_pForm, nId); }

    /// The print command: print dialog, then the pages, on the printer of the frame's application.
    void OnFilePrint();
    /// The print preview command.
    void OnFilePrintPreview();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    virtual void DoDataExchange(CDataExchange&) {}
    void UpdateData(bool bSaveAndValidate);

    virtual bool OnPreparePrinting(CPrintInfo& info) { return DoPreparePrinting(info); }
    /// Shows the standard print dialog; false when the user cancels it.
    bool DoPreparePrinting(CPrintInfo& info);
    virtual void OnBeginPrinting(QPainter& painter, CPrintInfo& info);
    virtual void OnPrint(QPainter& painter, CPrintInfo& info);
    virtual void OnEndPrinting(QPainter& painter, CPrintInfo& info);

private:
    /// The application's printer, reached through the frame's host; null outside a frame.
    QPrinter* GetPrinter() const;
    void PrintPages(QPrinter& printer, CPrintInfo& info);

    void LayOutGrowingControl();

    QWidget* m_pForm;
    QWidget* m_pFirstTabStop;
    QSize m_sizeTotal;
    QWidget* m_pGrowing = nullptr;
    QRect m_rectGrowing; // its template place
};
