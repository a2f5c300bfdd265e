#include "FormView.h"

#include "DataExchange.h"
#include "FrameWnd.h"

#include <QEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

CFormView::CFormView(const DialogTemplate& tpl, QWidget* parent)
    : QScrollArea(parent), m_pForm(new QWidget), m_pFirstTabStop(BuildControls(m_pForm, tpl)),
      m_sizeTotal(m_pForm->size()) {
    // The form fills the view but never gets smaller than its template: below that the view scrolls.
    m_pForm->setMinimumSize(m_sizeTotal);
    setWidget(m_pForm);
    setWidgetResizable(true);
    m_pForm->installEventFilter(this);
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    if (m_pFirstTabStop)
        setFocusProxy(m_pFirstTabStop);
}

void CFormView::SetGrowingControl(int nId) {
    QWidget* control = GetDlgItem(nId);
    if (control == m_pGrowing)
        return;
    if (m_pGrowing)
        m_pGrowing->setGeometry(m_rectGrowing);
    m_pGrowing = control;
    if (m_pGrowing) {
        m_rectGrowing = m_pGrowing->geometry();
        LayOutGrowingControl();
    }
}

void CFormView::LayOutGrowingControl() {
    if (!m_pGrowing)
        return;
    const QSize extra = (m_pForm->size() - m_sizeTotal).expandedTo(QSize(0, 0));
    m_pGrowing->setGeometry(m_rectGrowing.adjusted(0, 0, extra.width(), extra.height()));
}

bool CFormView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pForm && event->type() == QEvent::Resize)
        LayOutGrowingControl();
    return QScrollArea::eventFilter(watched, event);
}

void CFormView::OnInitialUpdate() {
    UpdateData(false);
}

void CFormView::UpdateData(bool bSaveAndValidate) {
    ::UpdateData(m_pForm, bSaveAndValidate, [this](CDataExchange& dx) { DoDataExchange(dx); });
}

CFrameWnd* CFormView::GetParentFrame() const {
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* frame = qobject_cast<CFrameWnd*>(w))
            return frame;
    }
    return nullptr;
}

void CFormView::ResizeParentToFit(bool bShrinkOnly) {
    CFrameWnd* frame = GetParentFrame();
    if (!frame)
        return;
    QSize wanted = m_sizeTotal;
    // A frame not shown yet has no size of its own: it starts just as large as the form.
    if (bShrinkOnly && frame->isVisible())
        wanted = wanted.boundedTo(size());
    int menuHeight = 0;
    if (QWidget* menu = frame->menuWidget()) {
        menuHeight = menu->heightForWidth(wanted.width());
        if (menuHeight <= 0)
            menuHeight = menu->sizeHint().height();
    }
    frame->resize(wanted.width(), wanted.height() + menuHeight);
}

bool CFormView::DoPreparePrinting(CPrintInfo& info) {
    QPrintDialog dialog(info.m_pPrinter, this);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    return dialog.exec() == QDialog::Accepted;
}

void CFormView::OnBeginPrinting(QPainter&, CPrintInfo&) {}
void CFormView::OnPrint(QPainter&, CPrintInfo&) {}
void CFormView::OnEndPrinting(QPainter&, CPrintInfo&) {}

QPrinter* CFormView::GetPrinter() const {
    const CFrameWnd* frame = GetParentFrame();
    return frame && frame->GetHost().m_fnGetPrinter ? &frame->GetHost().m_fnGetPrinter() : nullptr;
}

void CFormView::OnFilePrint() {
    QPrinter* printer = GetPrinter();
    if (!printer)
        return;
    CPrintInfo info;
    info.m_pPrinter = printer;
    if (!OnPreparePrinting(info))
        return;
    PrintPages(*printer, info);
}

void CFormView::OnFilePrintPreview() {
    QPrinter* printer = GetPrinter();
    if (!printer)
        return;
    QPrintPreviewDialog dialog(printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) {
        CPrintInfo info;
        info.m_pPrinter = p;
        info.m_bPreview = true;
        PrintPages(*p, info);
    });
    dialog.exec();
}

void CFormView::PrintPages(QPrinter& printer, CPrintInfo& info) {
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    info.m_rectDraw = QRect(QPoint(0, 0), printer.pageLayout().paintRectPixels(printer.resolution()).size());
    OnBeginPrinting(painter, info);
    const int first = printer.fromPage() > 0 ? std::max(1, printer.fromPage()) : 1;
    const int last = printer.toPage() > 0 ? std::min(info.m_nMaxPage, printer.toPage()) : info.m_nMaxPage;
    for (int page = first; page <= last; ++page) {
        if (page != first)
            printer.newPage();
        info.m_nCurPage = page;
        OnPrint(painter, info);
    }
    OnEndPrinting(painter, info);
    painter.end();
}
