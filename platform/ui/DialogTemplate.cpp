#include "DialogTemplate.h"

#include "ListCtrl.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QPixmap (*g_pIconLoader)(int) = nullptr;

QString SystemJapaneseSans() {
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    for (const char* preferred : {"Noto Sans CJK JP", "Noto Sans JP", "VL PGothic", "TakaoPGothic"}) {
        if (families.contains(QLatin1String(preferred)))
            return QLatin1String(preferred);
    }
    for (const QString& family : families) {
        if (family.contains(QLatin1String("Gothic"), Qt::CaseInsensitive) ||
            family.contains(QLatin1String("Sans"), Qt::CaseInsensitive))
            return family;
    }
    return QStringLiteral("sans-serif");
}

} // namespace

QFont DialogFont() {
    static const QFont font = [] {
        QFont f;
        f.setFamilies({QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"), SystemJapaneseSans()});
        f.setPointSize(9);
        return f;
    }();
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    // The average width the way the dialog manager measures it: over the Latin alphabet.
    const QFontMetrics fm(font);
    const int cx = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nCharWidth = std::max(1, (cx / 26 + 1) / 2);
    m_nCharHeight = std::max(1, fm.height());
}

void SetIconResourceLoader(QPixmap (*loader)(int)) {
    g_pIconLoader = loader;
}

QWidget* BuildControls(QWidget* parent, const DialogTemplate& tpl) {
    const QFont font = DialogFont();
    parent->setFont(font);
    const DialogUnits du(font);
    if (tpl.pszCaption && *tpl.pszCaption)
        parent->setWindowTitle(QString::fromUtf8(tpl.pszCaption));

    QWidget* pFirstTab = nullptr;
    QWidget* pPrevTab = nullptr;
    QLabel* pPendingLabel = nullptr;
    for (const ControlTemplate& c : tpl.controls) {
        const QString text = QString::fromUtf8(c.pszText);
        QRect rect = du.Rect(c.x, c.y, c.cx, c.cy);
        QWidget* w = nullptr;
        switch (c.kind) {
        case ControlKind::Static: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
            label->setAlignment(Qt::AlignLeft |
                                ((c.nStyle & ControlStyle::CenterVertical) ? Qt::AlignVCenter : Qt::AlignTop));
            // Japanese texts run wider in some fonts than in the one the layout was made
            // with: let a label grow rather than cut its text.
            rect.setWidth(std::max(rect.width(), label->sizeHint().width()));
            if (!(c.nStyle & ControlStyle::NoPrefix))
                pPendingLabel = label;
            w = label;
            break;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(parent);
            if (g_pIconLoader)
                label->setPixmap(g_pIconLoader(text.toInt()));
            rect.setSize(QSize(32, 32));
            w = label;
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(parent);
            if (pPendingLabel)
                pPendingLabel->setBuddy(edit);
            w = edit;
            break;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault(c.nStyle & ControlStyle::DefaultButton);
            w = button;
            break;
        }
        case ControlKind::ListView:
            w = new CListCtrl(parent);
            break;
        }
        if (c.kind != ControlKind::Static)
            pPendingLabel = nullptr;
        if (c.nId >= 0)
            w->setObjectName(QString::number(c.nId));
        w->setGeometry(rect);
        if (c.nStyle & ControlStyle::TabStop) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (pPrevTab)
                QWidget::setTabOrder(pPrevTab, w);
            else
                pFirstTab = w;
            pPrevTab = w;
        } else if (c.kind != ControlKind::Static && c.kind != ControlKind::Icon) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
    }
    parent->resize(du.X(tpl.cx), du.Y(tpl.cy));
    return pFirstTab;
}
